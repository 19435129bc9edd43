#include "json/decoding.hpp"

#include "json/near_key.hpp"
#include "json/writer.hpp"

namespace corvlin::json {
namespace {

void appendPath(const PathNode* node, CodingPath& out) {
  if (node == nullptr) return;
  appendPath(node->parent, out);
  if (node->isIndex) {
    out.emplace_back(node->index);
  } else {
    out.emplace_back(std::string(node->key));
  }
}

std::string_view foundDescription(element_type type) {
  switch (type) {
    case element_type::STRING:
      return "a string";
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return "a number";
    case element_type::BOOL:
      return "a boolean";
    case element_type::NULL_VALUE:
      return "null";
    case element_type::OBJECT:
      return "a dictionary";
    case element_type::ARRAY:
      return "an array";
  }
  return "an unknown value";
}

}  // namespace

CodingPath pathOf(const PathNode* node) {
  CodingPath path;
  appendPath(node, path);
  return path;
}

DecodingError typeMismatch(const PathNode* at, std::string_view expected, element_type found) {
  std::string description = "Expected to decode ";
  description += expected;
  description += " but found ";
  description += foundDescription(found);
  description += " instead.";
  return {DecodingError::Kind::typeMismatch, pathOf(at), std::move(description)};
}

DecodingError keyNotFound(const PathNode* at, std::string_view key) {
  std::string description = "No value associated with key ";
  appendString(description, key);
  description += '.';
  return {DecodingError::Kind::keyNotFound, pathOf(at), std::move(description)};
}

DecodingError keyNotFound(const PathNode* at, std::string_view key, simdjson::dom::object object,
                          std::span<const std::string_view> known) {
  DecodingError error = keyNotFound(at, key);
  if (auto found = misspeltMember(object, key, known)) error.hint = misspeltKeyHint(*found, key);
  return error;
}

DecodingError valueNotFound(const PathNode* at, std::string_view expected) {
  std::string description = "Expected ";
  description += expected;
  description += " value but found null instead.";
  return {DecodingError::Kind::valueNotFound, pathOf(at), std::move(description)};
}

DecodingError dataCorrupted(const PathNode* at, std::string description) {
  return {DecodingError::Kind::dataCorrupted, pathOf(at), std::move(description)};
}

Result<std::string, DecodingError> ValueCoder<std::string>::read(element value,
                                                                 const PathNode* at) {
  std::string out;
  if (auto failure = readInto(value, at, out)) return Failure{std::move(*failure)};
  return out;
}

std::optional<DecodingError> ValueCoder<std::string>::readInto(element value, const PathNode* at,
                                                               std::string& out) {
  if (value.type() != element_type::STRING) return typeMismatch(at, typeName, value.type());
  out.assign(value.get_string().value_unsafe());
  return std::nullopt;
}

std::optional<DecodingError> ValueCoder<double>::readInto(element value, const PathNode* at,
                                                          double& out) {
  switch (value.type()) {
    case element_type::DOUBLE:
      out = value.get_double().value_unsafe();
      return std::nullopt;
    case element_type::INT64:
      out = static_cast<double>(value.get_int64().value_unsafe());
      return std::nullopt;
    case element_type::UINT64:
      out = static_cast<double>(value.get_uint64().value_unsafe());
      return std::nullopt;
    case element_type::STRING:
    case element_type::BOOL:
    case element_type::NULL_VALUE:
    case element_type::OBJECT:
    case element_type::ARRAY:
      break;
  }
  return typeMismatch(at, typeName, value.type());
}

std::optional<DecodingError> ValueCoder<bool>::readInto(element value, const PathNode* at,
                                                        bool& out) {
  if (value.type() != element_type::BOOL) return typeMismatch(at, typeName, value.type());
  out = value.get_bool().value_unsafe();
  return std::nullopt;
}

Result<double, DecodingError> ValueCoder<double>::read(element value, const PathNode* at) {
  double out = 0;
  if (auto failure = readInto(value, at, out)) return Failure{std::move(*failure)};
  return out;
}

Result<bool, DecodingError> ValueCoder<bool>::read(element value, const PathNode* at) {
  bool out = false;
  if (auto failure = readInto(value, at, out)) return Failure{std::move(*failure)};
  return out;
}

Result<std::uint64_t, DecodingError> ValueCoder<std::uint64_t>::read(element value,
                                                                     const PathNode* at) {
  switch (value.type()) {
    case element_type::UINT64:
      return value.get_uint64().value_unsafe();
    case element_type::INT64: {
      const std::int64_t n = value.get_int64().value_unsafe();
      if (n >= 0) return static_cast<std::uint64_t>(n);
      return Failure{dataCorrupted(
          at, "Expected a whole number of at least 0, found " + std::to_string(n) + ".")};
    }
    case element_type::DOUBLE:
      return Failure{dataCorrupted(at,
                                   "Expected a whole number, found a fraction or one "
                                   "beyond 64 bits.")};
    case element_type::STRING:
    case element_type::BOOL:
    case element_type::NULL_VALUE:
    case element_type::OBJECT:
    case element_type::ARRAY:
      break;
  }
  return Failure{typeMismatch(at, typeName, value.type())};
}

}  // namespace corvlin::json
