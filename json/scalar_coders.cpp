// The coders of the scalars every record reads: strings, numbers, whole numbers and booleans,
// each refusing the other JSON types with the coder's errors.
#include <cstdint>
#include <string>

#include "json/decoding.hpp"

namespace corvlin::json {

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
