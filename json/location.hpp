// Where in a document parsing fails: a line and a column for people, when it can be told.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace corvlin::json {

struct TextLocation {
  std::size_t line = 1;    // from 1
  std::size_t column = 1;  // from 1, in characters (UTF-8 sequences) of its line

  friend bool operator==(const TextLocation&, const TextLocation&) = default;
};

// The location of `offset` in `bytes`.
TextLocation locationOf(std::string_view bytes, std::size_t offset);

// Where `bytes`, which failed to parse with `error`, stops being a JSON document: found by
// reading it again value by value, or for invalid UTF-8 at the first byte that breaks. Absent
// when that reading finds no fault to place (the fault then lies in the document as a whole).
std::optional<TextLocation> errorLocation(std::string_view bytes, simdjson::error_code error);

}  // namespace corvlin::json
