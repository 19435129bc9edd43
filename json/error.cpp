#include "json/error.hpp"

#include <string>
#include <type_traits>

#include "json/decoding.hpp"
#include "json/names.hpp"
#include "json/try.hpp"
#include "json/writer.hpp"

namespace corvlin {

template <>
struct json::EnumNames<DecodingError::Kind> {
  static constexpr std::array<std::string_view, 5> values{
      "keyNotFound", "valueNotFound", "typeMismatch", "dataCorrupted", "payloadTooLarge"};
};
static_assert(json::namesEvery(DecodingError::Kind::payloadTooLarge));

std::string_view kindName(DecodingError::Kind kind) { return json::nameOf(kind, "unknown"); }

std::optional<DecodingError::Kind> decodingErrorKind(std::string_view name) {
  return json::enumNamed<DecodingError::Kind>(name);
}

DecodingError repeatedMember(std::string_view name) {
  std::string description = "Repeated member name ";
  json::appendString(description, name);
  description += '.';
  return {DecodingError::Kind::dataCorrupted, {}, std::move(description)};
}

std::string describePath(const CodingPath& path) {
  if (path.empty()) return "<top level>";
  std::string out;
  for (const auto& element : path) {
    if (const auto* key = std::get_if<std::string>(&element)) {
      if (!out.empty()) out += '.';
      out += *key;
    } else {
      out += '[';
      out += std::to_string(std::get<std::size_t>(element));
      out += ']';
    }
  }
  return out;
}

void json::writeCodingPath(Writer& writer, const CodingPath& path) {
  writer.beginArray();
  for (const auto& element : path) {
    if (const auto* key = std::get_if<std::string>(&element)) {
      writer.string(*key);
    } else {
      writer.number(static_cast<double>(std::get<std::size_t>(element)));
    }
  }
  writer.endArray();
}

namespace {

void writeMembers(json::Writer& writer, std::string_view kind, const CodingPath& path,
                  std::string_view description, std::string_view hint) {
  writer.key("kind");
  writer.string(kind);
  writer.key("codingPath");
  json::writeCodingPath(writer, path);
  writer.key("description");
  writer.string(description);
  if (!hint.empty()) {
    writer.key("hint");
    writer.string(hint);
  }
}

std::string errorLine(std::string_view kind, const CodingPath& path, std::string_view description,
                      std::string_view hint, ErrorSource source) {
  json::Writer writer;
  writer.beginObject();
  writer.key("error");
  writer.beginObject();
  writeMembers(writer, kind, path, description, hint);
  if (source == ErrorSource::request) {
    writer.key("request");
    writer.boolean(true);
  }
  writer.endObject();
  writer.endObject();
  return writer.take();
}

enum class ErrorKeys { kind, codingPath, description, hint };

Result<CodingPathElement, DecodingError> readPathElement(simdjson::dom::element value,
                                                         const json::PathNode* at) {
  if (value.is_string()) {
    return CodingPathElement(std::string(value.get_string().value_unsafe()));
  }
  CORVLIN_TRY(index, json::ValueCoder<std::uint64_t>::read(value, at));
  return CodingPathElement(static_cast<std::size_t>(index));
}

Result<DecodingError::Kind, DecodingError> readKind(simdjson::dom::element value,
                                                    const json::PathNode* at) {
  CORVLIN_TRY(name, json::ValueCoder<std::string>::read(value, at));
  if (auto kind = decodingErrorKind(name)) return *kind;
  return Failure{json::dataCorrupted(at, "Unknown error kind \"" + name + "\".")};
}

}  // namespace

template <>
struct json::CodingKeyStrings<ErrorKeys> {
  static constexpr std::array<std::string_view, 4> values{"kind", "codingPath", "description",
                                                          "hint"};
};

void json::writeErrorMembers(Writer& writer, const DecodingError& error) {
  writeMembers(writer, kindName(error.kind), error.codingPath, error.description, error.hint);
}

void json::writeError(Writer& writer, const DecodingError& error) {
  writer.beginObject();
  writeErrorMembers(writer, error);
  writer.endObject();
}

std::string errorText(const DecodingError& error, ErrorHint hint) {
  std::string out = std::string(kindName(error.kind)) + " at " + describePath(error.codingPath) +
                    ": " + error.description;
  if (hint == ErrorHint::shown && !error.hint.empty()) out += " (" + error.hint + ")";
  return out;
}

std::string errorJson(const DecodingError& error, ErrorSource source) {
  return errorLine(kindName(error.kind), error.codingPath, error.description, error.hint, source);
}

std::string errorJson(const EncodingError& error) {
  return errorLine("invalidValue", error.codingPath, error.description, {}, ErrorSource::record);
}

Result<DecodingError, DecodingError> decodeErrorObject(simdjson::dom::element value) {
  using K = ErrorKeys;
  CORVLIN_TRY(container, json::KeyedDecodingContainer<K>::make(value, nullptr));
  CORVLIN_TRY(kind, container.decode(K::kind, readKind, "String"));
  CORVLIN_TRY(path, container.decode(
                        K::codingPath,
                        [](simdjson::dom::element v, const json::PathNode* at) {
                          return json::decodeArray(v, at, readPathElement);
                        },
                        json::arrayTypeName));
  CORVLIN_TRY(description, container.decode<std::string>(K::description));
  CORVLIN_TRY(hint, container.decodeIfPresent<std::string>(K::hint));
  return DecodingError{kind, std::move(path), std::move(description),
                       std::move(hint).value_or(std::string())};
}

std::ostream& operator<<(std::ostream& out, const DecodingError& error) {
  return out << errorText(error, ErrorHint::leftOut);
}

std::ostream& operator<<(std::ostream& out, const EncodingError& error) {
  return out << "invalidValue at " << describePath(error.codingPath) << ": " << error.description;
}

}  // namespace corvlin
