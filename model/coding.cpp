// The records' coded form: their reading and writing orders, on the JSON foundation's keyed
// containers.
#include "model/coding.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "json/decoding.hpp"
#include "json/encoding.hpp"
#include "json/try.hpp"
#include "model/coding_keys.hpp"

namespace corvlin {

using json::element;
using json::PathNode;

// ---------------------------------------------------------------------------------------------
// Reading.

namespace {

template <CodingKey Key>
using Container = json::KeyedDecodingContainer<Key>;

// The records are read in place, field by field, so that no text is built twice or moved
// through a result; the first failure ends the reading, the record then left unspecified.
std::optional<DecodingError> readActionSpecInto(element value, const PathNode* at,
                                                ActionSpec& out) {
  using K = ActionSpecCodingKeys;
  auto made = Container<K>::make(value, at);
  if (!made) return std::move(made).error();
  const auto& container = made.value();
  if (auto failure = container.decodeInto(K::actionId, out.actionId)) return failure;
  if (auto failure = container.decodeInto(K::label, out.label)) return failure;
  return container.decodeIfPresentInto(K::requiresAuth, out.requiresAuth);
}

std::optional<DecodingError> readContentStateInto(element value, const PathNode* at,
                                                  ContentState& out) {
  using K = ContentStateCodingKeys;
  auto made = Container<K>::make(value, at);
  if (!made) return std::move(made).error();
  const auto& container = made.value();
  const auto readActions = [](element list, const PathNode* path,
                              std::vector<ActionSpec>& actions) {
    return json::decodeArrayInto(list, path, actions, readActionSpecInto);
  };
  if (auto failure = container.decodeInto(K::title, out.title)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::body, out.body)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::detail, out.detail)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::tone, out.tone)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::progress, out.progress)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::timerStart, out.timerStart)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::timerEnd, out.timerEnd)) return failure;
  if (auto failure = container.decodeIfPresentInto(K::timerDirection, out.timerDirection)) {
    return failure;
  }
  return container.decodeIfPresentInto(K::actions, out.actions, readActions);
}

template <class Record, auto ReadInto>
Result<Record, DecodingError> readRecord(element value, const PathNode* at) {
  Record record;
  if (auto failure = ReadInto(value, at, record)) return Failure{std::move(*failure)};
  return record;
}

Result<ActionSpec, DecodingError> readActionSpec(element value, const PathNode* at) {
  return readRecord<ActionSpec, readActionSpecInto>(value, at);
}

Result<ContentState, DecodingError> readContentState(element value, const PathNode* at) {
  return readRecord<ContentState, readContentStateInto>(value, at);
}

Result<CorvlinLiveActivityAttributes, DecodingError> readAttributes(element value,
                                                                    const PathNode* at) {
  using K = AttributesCodingKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(kind, container.decode<std::string>(K::kind));
  CORVLIN_TRY(activityId, container.decode<std::string>(K::activityId));
  return CorvlinLiveActivityAttributes{std::move(kind), std::move(activityId)};
}

template <class Record, class Read>
Result<Record, DecodingError> readDocument(std::string_view bytes, Read read) {
  // A parser of its own, so that no state outlives the call; callers that decode many
  // documents keep a parser and use json::parse with the element overloads instead.
  simdjson::dom::parser parser;
  CORVLIN_TRY(root, json::parse(parser, bytes));
  return read(root, nullptr);
}

}  // namespace

Result<ContentState, DecodingError> decodeContentState(element value) {
  return readContentState(value, nullptr);
}

Result<ContentState, DecodingError> decodeContentState(std::string_view json) {
  return readDocument<ContentState>(json, readContentState);
}

Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(element value) {
  return readAttributes(value, nullptr);
}

Result<CorvlinLiveActivityAttributes, DecodingError> decodeAttributes(std::string_view json) {
  return readDocument<CorvlinLiveActivityAttributes>(json, readAttributes);
}

Result<ActionSpec, DecodingError> decodeActionSpec(element value) {
  return readActionSpec(value, nullptr);
}

Result<ActionSpec, DecodingError> decodeActionSpec(std::string_view json) {
  return readDocument<ActionSpec>(json, readActionSpec);
}

// ---------------------------------------------------------------------------------------------
// Writing.

namespace {

using json::EncodeStatus;
template <CodingKey Key>
using EncodingContainer = json::KeyedEncodingContainer<Key>;

EncodeStatus writeActionSpec(json::Writer& writer, const ActionSpec& action, const PathNode* at);

}  // namespace

template <>
struct json::ValueEncoder<ActionSpec> {
  static EncodeStatus write(Writer& writer, const ActionSpec& action, const PathNode* at) {
    return writeActionSpec(writer, action, at);
  }
};

namespace {

EncodeStatus writeActionSpec(json::Writer& writer, const ActionSpec& action, const PathNode* at) {
  using K = ActionSpecCodingKeys;
  EncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::actionId, action.actionId));
  CORVLIN_TRY_WRITE(container.encode(K::label, action.label));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::requiresAuth, action.requiresAuth));
  container.finish();
  return std::nullopt;
}

EncodeStatus writeContentState(json::Writer& writer, const ContentState& state,
                               const PathNode* at) {
  using K = ContentStateCodingKeys;
  EncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::title, state.title));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::body, state.body));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::detail, state.detail));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::tone, state.tone));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::progress, state.progress));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerStart, state.timerStart));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerEnd, state.timerEnd));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::timerDirection, state.timerDirection));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::actions, state.actions));
  container.finish();
  return std::nullopt;
}

EncodeStatus writeAttributes(json::Writer& writer, const CorvlinLiveActivityAttributes& attributes,
                             const PathNode* at) {
  using K = AttributesCodingKeys;
  EncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::kind, attributes.kind));
  CORVLIN_TRY_WRITE(container.encode(K::activityId, attributes.activityId));
  container.finish();
  return std::nullopt;
}

template <class Record, class Write>
Result<std::string, EncodingError> writeDocument(const Record& record, Write write) {
  json::Writer writer;
  if (auto error = write(writer, record, nullptr)) return Failure{std::move(*error)};
  return writer.take();
}

}  // namespace

Result<std::string, EncodingError> encodeContentState(const ContentState& state) {
  return writeDocument(state, writeContentState);
}

Result<std::string, EncodingError> encodeAttributes(
    const CorvlinLiveActivityAttributes& attributes) {
  return writeDocument(attributes, writeAttributes);
}

Result<std::string, EncodingError> encodeActionSpec(const ActionSpec& action) {
  return writeDocument(action, writeActionSpec);
}

Result<ContentState, DecodingError> json::ValueCoder<ContentState>::read(element value,
                                                                         const PathNode* at) {
  return readContentState(value, at);
}

Result<CorvlinLiveActivityAttributes, DecodingError>
json::ValueCoder<CorvlinLiveActivityAttributes>::read(element value, const PathNode* at) {
  return readAttributes(value, at);
}

json::EncodeStatus json::ValueEncoder<ContentState>::write(Writer& writer,
                                                           const ContentState& state,
                                                           const PathNode* at) {
  return writeContentState(writer, state, at);
}

json::EncodeStatus json::ValueEncoder<CorvlinLiveActivityAttributes>::write(
    Writer& writer, const CorvlinLiveActivityAttributes& attributes, const PathNode* at) {
  return writeAttributes(writer, attributes, at);
}

// ---------------------------------------------------------------------------------------------
// Readable forms: the coded form, or a note when the record cannot be coded.

namespace {

template <class Record, class Encode>
std::ostream& printCoded(std::ostream& out, std::string_view name, const Record& record,
                         Encode encode) {
  const auto coded = encode(record);
  if (coded) return out << *coded;
  return out << '<' << name << " not codable: " << coded.error() << '>';
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const ActionSpec& action) {
  return printCoded(out, "ActionSpec", action, encodeActionSpec);
}

std::ostream& operator<<(std::ostream& out, const ContentState& state) {
  return printCoded(out, "ContentState", state, encodeContentState);
}

std::ostream& operator<<(std::ostream& out, const CorvlinLiveActivityAttributes& attributes) {
  return printCoded(out, "CorvlinLiveActivityAttributes", attributes, encodeAttributes);
}

}  // namespace corvlin
