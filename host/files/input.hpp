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

// What a file's type makes it, for messages: "a regular file", "a folder", "a symbolic link",
// "a FIFO", "a socket", "a character device", "a block device".
std::string_view fileKind(unsigned mode);

// The whole of the regular file `path`, at most `limit` bytes. The open never waits (a FIFO is
// refused, not read) and follows a link to its file. The message names the path and says what
// is wrong: missing, not a regular file (and what it is instead), larger than the limit,
// unreadable.
Result<std::string, InputError> readRegularFile(const std::string& path, std::size_t limit);

// Reads `path` whole, or standard input for "-".
Result<std::string, InputError> readPayload(const std::string& path);

// The payload of a command: the file named, or `builtIn` when none is.
Result<std::string, InputError> loadPayload(const std::optional<std::string>& file,
                                            std::string_view builtIn);

}  // namespace corvlin::host
