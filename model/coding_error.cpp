#include "model/coding_error.hpp"

#include <string>
#include <type_traits>

#include "model/json_writer.hpp"

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
  }
  return "unknown";
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

namespace {

void writePath(json::Writer& writer, const CodingPath& path) {
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

std::string errorLine(std::string_view kind, const CodingPath& path, std::string_view description) {
  json::Writer writer;
  writer.beginObject();
  writer.key("error");
  writer.beginObject();
  writer.key("kind");
  writer.string(kind);
  writer.key("codingPath");
  writePath(writer, path);
  writer.key("description");
  writer.string(description);
  writer.endObject();
  writer.endObject();
  return writer.take();
}

}  // namespace

std::string errorJson(const DecodingError& error) {
  return errorLine(kindName(error.kind), error.codingPath, error.description);
}

std::string errorJson(const EncodingError& error) {
  return errorLine("invalidValue", error.codingPath, error.description);
}

std::ostream& operator<<(std::ostream& out, const DecodingError& error) {
  return out << kindName(error.kind) << " at " << describePath(error.codingPath) << ": "
             << error.description;
}

std::ostream& operator<<(std::ostream& out, const EncodingError& error) {
  return out << "invalidValue at " << describePath(error.codingPath) << ": " << error.description;
}

}  // namespace corvlin
