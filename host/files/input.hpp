// Reading a payload from a file or standard input, within a size bound.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "json/result.hpp"

namespace corvlin::host {

// The largest payload read; anything larger is refused before it is parsed.
inline constexpr std::size_t maxPayloadBytes = 1u << 20;

struct InputError {
  enum class Kind { unreadable, tooLarge };
  Kind kind = Kind::unreadable;
  std::string message;
};

// Reads `path` whole, or standard input for "-".
Result<std::string, InputError> readPayload(const std::string& path);

// The payload of a command: the file named, or `builtIn` when none is.
Result<std::string, InputError> loadPayload(const std::optional<std::string>& file,
                                            std::string_view builtIn);

}  // namespace corvlin::host
