// Errors of the coder: what went wrong, where (the coding path), and why.
#pragma once

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "json/result.hpp"

namespace corvlin {

// One step of a coding path: a member name, or a 0-based index into a list.
using CodingPathElement = std::variant<std::string, std::size_t>;
using CodingPath = std::vector<CodingPathElement>;

struct DecodingError {
  // payloadTooLarge: a push body over the push service's limit, refused before it is read.
  enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted, payloadTooLarge };

  DecodingError() = default;
  DecodingError(Kind kind_, CodingPath path, std::string description_, std::string hint_ = {})
      : kind(kind_),
        codingPath(std::move(path)),
        description(std::move(description_)),
        hint(std::move(hint_)) {}

  Kind kind = Kind::dataCorrupted;
  CodingPath codingPath;
  std::string description;
  std::string hint;  // what the sender probably meant; empty when there is nothing to suggest

  friend bool operator==(const DecodingError&, const DecodingError&) = default;
};

// Writing fails only for a value that the coded form cannot hold (a non-finite number).
struct EncodingError {
  CodingPath codingPath;
  std::string description;

  friend bool operator==(const EncodingError&, const EncodingError&) = default;
};

// Every kind, for reading a kind back from its name.
inline constexpr std::array<DecodingError::Kind, 5> allDecodingErrorKinds{
    DecodingError::Kind::keyNotFound, DecodingError::Kind::valueNotFound,
    DecodingError::Kind::typeMismatch, DecodingError::Kind::dataCorrupted,
    DecodingError::Kind::payloadTooLarge};

std::string_view kindName(DecodingError::Kind kind);
std::optional<DecodingError::Kind> decodingErrorKind(std::string_view name);

// The error for an object that names a member twice.
DecodingError repeatedMember(std::string_view name);

// "actions[1].label", or "<top level>" for the empty path; for messages written to people.
std::string describePath(const CodingPath& path);

// The one-line form {"error":{"kind":...,"codingPath":[...],"description":...}}, with "hint"
// after the description when there is one. An error of
// the extension's request itself (rather than of the records it carries) is marked with
// "request":true inside "error".
enum class ErrorSource { record, request };
std::string errorJson(const DecodingError& error, ErrorSource source = ErrorSource::record);
std::string errorJson(const EncodingError& error);

namespace json {
class Writer;
// Writes a coding path as a JSON array of member names and 0-based indices.
void writeCodingPath(Writer& writer, const CodingPath& path);
// Writes the members "kind", "codingPath", "description" (and "hint") into the object being
// written, for lines that carry more members than errorJson's.
void writeErrorMembers(Writer& writer, const DecodingError& error);
}  // namespace json

// Reads back the object inside "error" of the form above (its "request" mark is not kept).
Result<DecodingError, DecodingError> decodeErrorObject(simdjson::dom::element value);

std::ostream& operator<<(std::ostream& out, const DecodingError& error);
std::ostream& operator<<(std::ostream& out, const EncodingError& error);

}  // namespace corvlin
