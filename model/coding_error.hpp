// Errors of the coder: what went wrong, where (the coding path), and why.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvlin {

// One step of a coding path: a member name, or a 0-based index into a list.
using CodingPathElement = std::variant<std::string, std::size_t>;
using CodingPath = std::vector<CodingPathElement>;

struct DecodingError {
  enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

  Kind kind = Kind::dataCorrupted;
  CodingPath codingPath;
  std::string description;

  friend bool operator==(const DecodingError&, const DecodingError&) = default;
};

// Writing fails only for a value that the coded form cannot hold (a non-finite number).
struct EncodingError {
  CodingPath codingPath;
  std::string description;

  friend bool operator==(const EncodingError&, const EncodingError&) = default;
};

std::string_view kindName(DecodingError::Kind kind);

// "actions[1].label", or "<top level>" for the empty path; for messages written to people.
std::string describePath(const CodingPath& path);

// The one-line form {"error":{"kind":...,"codingPath":[...],"description":...}}.
std::string errorJson(const DecodingError& error);
std::string errorJson(const EncodingError& error);

std::ostream& operator<<(std::ostream& out, const DecodingError& error);
std::ostream& operator<<(std::ostream& out, const EncodingError& error);

}  // namespace corvlin
