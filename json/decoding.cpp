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

}  // namespace corvlin::json
