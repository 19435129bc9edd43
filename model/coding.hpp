// The coded (JSON) form of the records: reading with first-failure errors, writing compactly.
#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>

#include "model/coding_error.hpp"
#include "model/records.hpp"
#include "model/result.hpp"

namespace corvlin {

namespace json {

// Deepest nesting of arrays and objects accepted in a document.
inline constexpr std::size_t maxDepth = 64;

// Parses a whole document and checks what the coded form demands of it: valid UTF-8 and
// surrogate escapes, no byte order mark, no trailing content, no number beyond a double,
// no repeated member name, nesting at most maxDepth. Failures are dataCorrupted, empty path.
// The element lives as long as `parser` and its next parse (it does not refer to `bytes`).
// "-0" reads as negative zero, and an integer with more digits than 64 bits hold reads as the
// nearest double (simdjson 3.0.1 alone would lose the sign or reject it).
Result<simdjson::dom::element, DecodingError> parse(simdjson::dom::parser& parser,
                                                    std::string_view bytes);

}  // namespace json

// Reading. The error is the first failure in reading order, with its coding path. An element
// should come from json::parse, which makes the document-wide checks; the text forms parse
// with a parser of their own.
Result<ContentState, DecodingError> decodeContentState(simdjson::dom::element value);
Result<ContentState, DecodingError> decodeContentState(std::string_view json);
Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(simdjson::dom::element value);
Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(std::string_view json);

// One action on its own (the records above read and write their actions with these rules).
Result<ActionSpec, DecodingError> decodeActionSpec(simdjson::dom::element value);
Result<ActionSpec, DecodingError> decodeActionSpec(std::string_view json);

// Writing: one line of compact JSON, members in key order, absent optionals left out.
// Fails, naming the key, for a double that JSON cannot hold (infinite or NaN), and for a
// string that is not valid UTF-8 (records made by decoding never hold one).
Result<std::string, EncodingError> encodeContentState(const ContentState& state);
Result<std::string, EncodingError> encodeAttributes(
    const CorvlinLiveActivityAttributes& attributes);
Result<std::string, EncodingError> encodeActionSpec(const ActionSpec& action);

}  // namespace corvlin
