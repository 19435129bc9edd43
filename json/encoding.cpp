#include "json/encoding.hpp"

#include <simdjson.h>

#include <cmath>

namespace corvlin::json {

EncodingError invalidValue(const PathNode* at, std::string description) {
  return EncodingError{pathOf(at), std::move(description)};
}

EncodeStatus ValueEncoder<std::string>::write(Writer& writer, const std::string& text,
                                              const PathNode* at) {
  if (!simdjson::validate_utf8(text.data(), text.size())) {
    return invalidValue(at, "Unable to encode String: it is not valid UTF-8.");
  }
  writer.string(text);
  return std::nullopt;
}

EncodeStatus ValueEncoder<double>::write(Writer& writer, double value, const PathNode* at) {
  if (std::isnan(value)) return invalidValue(at, "Unable to encode Double.nan directly in JSON.");
  if (std::isinf(value)) {
    return invalidValue(at, value > 0 ? "Unable to encode Double.infinity directly in JSON."
                                      : "Unable to encode -Double.infinity directly in JSON.");
  }
  writer.number(value);
  return std::nullopt;
}

}  // namespace corvlin::json
