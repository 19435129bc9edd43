#include "json/error.hpp"

#include <string>
#include <type_traits>

#include "json/decoding.hpp"
#include "json/writer.hpp"

namespace corvlin {

std::string_view kindName(DecodingError::Kind kind) {
  switch (kind) {
    case DecodingError::Kind::keyNotFound:
      return "keyNotFound";
    case DecodingError::Kind::valueNotFound:
      return "valueNotFound";
    case DecodingError::Kind::typeMismatch:
      return "typeMismatch";
    case DecodingError::Kind::dataCorrupted:
      return "dataCorrupted";
    case DecodingError::Kind::payloadTooLarge:
      return "payloadTooLarge";
  }
  return "unknown";
}

std::optional<DecodingError::Kind> decodingErrorKind(std::string_view name) {
  for (const auto kind : allDecodingErrorKinds) {
    if (kindName(kind) == name) return kind;
  }
  return std::nullopt;
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
  auto index = json::ValueCoder<std::uint64_t>::read(value, at);
  if (!index) return Failure{std::move(index).error()};
  return CodingPathElement(static_cast<std::size_t>(index.value()));
}

Result<DecodingError::Kind, DecodingError> readKind(simdjson::dom::element value,
                                                    const json::PathNode* at) {
  auto name = json::ValueCoder<std::string>::read(value, at);
  if (!name) return Failure{std::move(name).error()};
  if (auto kind = decodingErrorKind(name.value())) return *kind;
  return Failure{json::dataCorrupted(at, "Unknown error kind \"" + name.value() + "\".")};
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

std::string errorJson(const DecodingError& error, ErrorSource source) {
  return errorLine(kindName(error.kind), error.codingPath, error.description, error.hint, source);
}

std::string errorJson(const EncodingError& error) {
  return errorLine("invalidValue", error.codingPath, error.description, {}, ErrorSource::record);
}

Result<DecodingError, DecodingError> decodeErrorObject(simdjson::dom::element value) {
  using K = ErrorKeys;
  auto container = json::KeyedDecodingContainer<K>::make(value, nullptr);
  if (!container) return Failure{std::move(container).error()};
  auto kind = container.value().decode(K::kind, readKind, "String");
  if (!kind) return Failure{std::move(kind).error()};
  auto path = container.value().decode(
      K::codingPath,
      [](simdjson::dom::element v, const json::PathNode* at) {
        return json::decodeArray(v, at, readPathElement);
      },
      json::arrayTypeName);
  if (!path) return Failure{std::move(path).error()};
  auto description = container.value().decode<std::string>(K::description);
  if (!description) return Failure{std::move(description).error()};
  auto hint = container.value().decodeIfPresent<std::string>(K::hint);
  if (!hint) return Failure{std::move(hint).error()};
  return DecodingError{kind.value(), std::move(path).value(), std::move(description).value(),
                       std::move(hint).value().value_or(std::string())};
}

std::ostream& operator<<(std::ostream& out, const DecodingError& error) {
  return out << kindName(error.kind) << " at " << describePath(error.codingPath) << ": "
             << error.description;
}

std::ostream& operator<<(std::ostream& out, const EncodingError& error) {
  return out << "invalidValue at " << describePath(error.codingPath) << ": " << error.description;
}

}  // namespace corvlin
