#include "updates/envelope_coding.hpp"

#include <optional>
#include <utility>

#include "json/encoding.hpp"
#include "json/parse.hpp"
#include "json/try.hpp"
#include "json/writer.hpp"
#include "model/coding.hpp"

namespace corvlin::updates {

using json::element;
using json::element_type;
using json::PathNode;

// ---------------------------------------------------------------------------------------------
// Reading, in the order of the members.

namespace {

template <json::CodingKey Key>
using Container = json::KeyedDecodingContainer<Key>;

constexpr std::string_view stringOrObject = "String or Dictionary<String, Any>";

Result<Event, DecodingError> readEvent(element value, const PathNode* at) {
  CORVLIN_TRY(name, json::ValueCoder<std::string>::read(value, at));
  for (Event event : {Event::start, Event::update, Event::end}) {
    if (eventName(event) == name) return event;
  }
  std::string description = "Cannot initialize Event from invalid String value ";
  json::appendString(description, name);
  description += "; expected \"start\", \"update\" or \"end\".";
  return Failure{json::dataCorrupted(at, std::move(description))};
}

Result<AlertText, DecodingError> readAlertText(element value, const PathNode* at) {
  if (value.type() == element_type::STRING) {
    return AlertText{std::string(value.get_string().value_unsafe())};
  }
  if (value.type() != element_type::OBJECT) {
    return Failure{json::typeMismatch(at, stringOrObject, value.type())};
  }
  using K = LocalizedTextCodingKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(key, container.decode<std::string>(K::key));
  CORVLIN_TRY(args, container.decodeIfPresent<std::vector<std::string>>(K::args));
  return AlertText{LocalizedText{std::move(key), std::move(args)}};
}

Result<Sound, DecodingError> readSound(element value, const PathNode* at) {
  if (value.type() == element_type::STRING) {
    return Sound{std::string(value.get_string().value_unsafe())};
  }
  if (value.type() != element_type::OBJECT) {
    return Failure{json::typeMismatch(at, stringOrObject, value.type())};
  }
  using K = SoundCodingKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(critical, container.decodeIfPresent<double>(K::critical));
  CORVLIN_TRY(name, container.decodeIfPresent<std::string>(K::name));
  CORVLIN_TRY(volume, container.decodeIfPresent<double>(K::volume));
  return Sound{SoundSpec{critical, std::move(name), volume}};
}

Result<Alert, DecodingError> readAlert(element value, const PathNode* at) {
  using K = AlertCodingKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(title, container.decodeIfPresent(K::title, readAlertText));
  CORVLIN_TRY(body, container.decodeIfPresent(K::body, readAlertText));
  CORVLIN_TRY(sound, container.decodeIfPresent(K::sound, readSound));
  return Alert{std::move(title), std::move(body), std::move(sound)};
}

Result<std::string, DecodingError> readAttributesType(element value, const PathNode* at) {
  CORVLIN_TRY(name, json::ValueCoder<std::string>::read(value, at));
  if (name == attributesTypeName) return name;
  std::string description = "The attributes type ";
  json::appendString(description, name);
  description += " is not this extension's; expected \"";
  description += attributesTypeName;
  description += "\".";
  return Failure{json::dataCorrupted(at, std::move(description))};
}

// Required for some events only: absent is keyNotFound (or valueNotFound for null) when
// `required`, else no value.
template <class Read>
auto readFor(const Container<ApsCodingKeys>& container, ApsCodingKeys key, bool required, Read read)
    -> decltype(container.decodeIfPresent(key, read)) {
  if (!required) return container.decodeIfPresent(key, read);
  CORVLIN_TRY(value, container.decode(key, read));
  return std::optional(std::move(value));
}

Result<Envelope, DecodingError> readAps(element value, const PathNode* at) {
  using K = ApsCodingKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(timestamp, container.decode<double>(K::timestamp));
  CORVLIN_TRY(event,
              container.decode(K::event, readEvent, json::ValueCoder<std::string>::typeName));
  const bool start = event == Event::start;
  CORVLIN_TRY(contentState, readFor(container, K::contentState, event != Event::end,
                                    &json::ValueCoder<ContentState>::read));
  CORVLIN_TRY(staleDate, container.decodeIfPresent<double>(K::staleDate));
  CORVLIN_TRY(dismissalDate, container.decodeIfPresent<double>(K::dismissalDate));
  CORVLIN_TRY(relevanceScore, container.decodeIfPresent<double>(K::relevanceScore));
  CORVLIN_TRY(alert, container.decodeIfPresent(K::alert, readAlert));
  CORVLIN_TRY(attributesType, readFor(container, K::attributesType, start, readAttributesType));
  CORVLIN_TRY(attributes, readFor(container, K::attributes, start,
                                  &json::ValueCoder<CorvlinLiveActivityAttributes>::read));
  CORVLIN_TRY(inputPushChannel, container.decodeIfPresent<std::string>(K::inputPushChannel));
  return Envelope{timestamp,
                  event,
                  std::move(contentState),
                  staleDate,
                  dismissalDate,
                  relevanceScore,
                  std::move(alert),
                  std::move(attributesType),
                  std::move(attributes),
                  std::move(inputPushChannel)};
}

#undef CORVLIN_TRY_READ

}  // namespace

Result<Envelope, DecodingError> decodeEnvelope(element value, const PathNode* at) {
  CORVLIN_TRY(container, Container<EnvelopeCodingKeys>::make(value, at));
  return container.decode(EnvelopeCodingKeys::aps, readAps);
}

Result<Envelope, DecodingError> decodeEnvelope(std::string_view body) {
  if (body.size() > maxEnvelopeBytes) {
    return Failure{DecodingError{DecodingError::Kind::payloadTooLarge,
                                 {},
                                 "The body is " + std::to_string(body.size()) +
                                     " bytes; the push service refuses bodies over " +
                                     std::to_string(maxEnvelopeBytes) + " bytes."}};
  }
  simdjson::dom::parser parser;
  CORVLIN_TRY(root, json::parse(parser, body));
  return decodeEnvelope(root, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Writing.

namespace {

using json::EncodeStatus;
using json::Writer;
template <json::CodingKey Key>
using EncodingContainer = json::KeyedEncodingContainer<Key>;

}  // namespace
}  // namespace corvlin::updates

namespace corvlin::json {

template <>
struct ValueEncoder<updates::AlertText> {
  static EncodeStatus write(Writer& writer, const updates::AlertText& text, const PathNode* at) {
    if (const auto* plain = std::get_if<std::string>(&text)) {
      return ValueEncoder<std::string>::write(writer, *plain, at);
    }
    const auto& localized = std::get<updates::LocalizedText>(text);
    using K = updates::LocalizedTextCodingKeys;
    KeyedEncodingContainer<K> container(writer, at);
    CORVLIN_TRY_WRITE(container.encode(K::key, localized.key));
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::args, localized.args));
    container.finish();
    return std::nullopt;
  }
};

template <>
struct ValueEncoder<updates::Sound> {
  static EncodeStatus write(Writer& writer, const updates::Sound& sound, const PathNode* at) {
    if (const auto* name = std::get_if<std::string>(&sound)) {
      return ValueEncoder<std::string>::write(writer, *name, at);
    }
    const auto& detail = std::get<updates::SoundSpec>(sound);
    using K = updates::SoundCodingKeys;
    KeyedEncodingContainer<K> container(writer, at);
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::critical, detail.critical));
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::name, detail.name));
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::volume, detail.volume));
    container.finish();
    return std::nullopt;
  }
};

template <>
struct ValueEncoder<updates::Alert> {
  static EncodeStatus write(Writer& writer, const updates::Alert& alert, const PathNode* at) {
    using K = updates::AlertCodingKeys;
    KeyedEncodingContainer<K> container(writer, at);
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::title, alert.title));
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::body, alert.body));
    CORVLIN_TRY_WRITE(container.encodeIfPresent(K::sound, alert.sound));
    container.finish();
    return std::nullopt;
  }
};

}  // namespace corvlin::json

namespace corvlin::updates {
namespace {

EncodeStatus writeAps(Writer& writer, const Envelope& envelope, const PathNode* at) {
  using K = ApsCodingKeys;
  EncodingContainer<K> container(writer, at);
  CORVLIN_TRY_WRITE(container.encode(K::timestamp, envelope.timestamp));
  CORVLIN_TRY_WRITE(container.encode(K::event, std::string(eventName(envelope.event))));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::contentState, envelope.contentState));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::staleDate, envelope.staleDate));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::dismissalDate, envelope.dismissalDate));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::relevanceScore, envelope.relevanceScore));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::alert, envelope.alert));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::attributesType, envelope.attributesType));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::attributes, envelope.attributes));
  CORVLIN_TRY_WRITE(container.encodeIfPresent(K::inputPushChannel, envelope.inputPushChannel));
  container.finish();
  return std::nullopt;
}

}  // namespace

Result<std::string, EncodingError> encodeEnvelope(const Envelope& envelope) {
  Writer writer;
  writer.beginObject();
  writer.key("aps");
  const PathNode aps = PathNode::member(nullptr, "aps");
  if (auto error = writeAps(writer, envelope, &aps)) return Failure{std::move(*error)};
  writer.endObject();
  return writer.take();
}

}  // namespace corvlin::updates
