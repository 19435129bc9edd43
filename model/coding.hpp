// The coded (JSON) form of the records: reading with first-failure errors, writing compactly.
#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>

#include "json/decoding.hpp"
#include "json/encoding.hpp"
#include "json/error.hpp"
#include "json/parse.hpp"
#include "json/result.hpp"
#include "model/records.hpp"

namespace corvlin {

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

// The records as values inside other coded forms (an envelope's content state): read and
// written by the same rules, their coding paths continuing from where they appear.
template <>
struct json::ValueCoder<ContentState> {
  static constexpr std::string_view typeName = objectTypeName;
  static Result<ContentState, DecodingError> read(element value, const PathNode* at);
};
template <>
struct json::ValueCoder<CorvlinLiveActivityAttributes> {
  static constexpr std::string_view typeName = objectTypeName;
  static Result<CorvlinLiveActivityAttributes, DecodingError> read(element value,
                                                                   const PathNode* at);
};
template <>
struct json::ValueEncoder<ContentState> {
  static EncodeStatus write(Writer& writer, const ContentState& state, const PathNode* at);
};
template <>
struct json::ValueEncoder<CorvlinLiveActivityAttributes> {
  static EncodeStatus write(Writer& writer, const CorvlinLiveActivityAttributes& attributes,
                            const PathNode* at);
};

}  // namespace corvlin
