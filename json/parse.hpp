// Parsing a whole JSON document with the checks the coded form demands of every document.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <string_view>

#include "json/error.hpp"
#include "json/result.hpp"

namespace corvlin::json {

// Deepest nesting of arrays and objects accepted in a document.
inline constexpr std::size_t maxDepth = 64;

// Parses a whole document and checks what the coded form demands of it: valid UTF-8 and
// surrogate escapes, no byte order mark, no trailing content, no number beyond a double,
// no repeated member name, nesting at most maxDepth. Failures are dataCorrupted, empty path.
// The element lives as long as `parser` and its next parse (it does not refer to `bytes`).
// "-0" reads as negative zero, and an integer with more digits than 64 bits hold reads as the
// nearest double (simdjson alone would lose the sign or reject it).
Result<simdjson::dom::element, DecodingError> parse(simdjson::dom::parser& parser,
                                                    std::string_view bytes);

// A number written alone, as a document holds one: the same grammar and range as parse().
// Fails for anything else (for reading numbers given on a command line).
Result<double, DecodingError> parseNumber(std::string_view text);

}  // namespace corvlin::json
