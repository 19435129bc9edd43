// The envelope's coded form: {"aps":{...}} read with the coder's errors and paths from the
// root, and written back with the known members in their order.
#pragma once

#include <simdjson.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json/coding_key.hpp"
#include "json/decoding.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "updates/envelope.hpp"

namespace corvlin::updates {

// The push service refuses a body larger than this.
inline constexpr std::size_t maxEnvelopeBytes = 4096;

enum class EnvelopeCodingKeys : std::uint8_t { aps };

enum class ApsCodingKeys : std::uint8_t {
  timestamp,
  event,
  contentState,
  staleDate,
  dismissalDate,
  relevanceScore,
  alert,
  attributesType,
  attributes,
  inputPushChannel,
};

enum class AlertCodingKeys : std::uint8_t { title, body, sound };
enum class LocalizedTextCodingKeys : std::uint8_t { key, args };
enum class SoundCodingKeys : std::uint8_t { critical, name, volume };

// Reads a body as the push service takes it: over maxEnvelopeBytes is payloadTooLarge with an
// empty path, before it is parsed.
Result<Envelope, DecodingError> decodeEnvelope(std::string_view body);

// Reads an envelope that sits at `at` in a larger document (nullptr: the root). The size
// check is the caller's, since only it knows the body's bytes.
Result<Envelope, DecodingError> decodeEnvelope(simdjson::dom::element value,
                                               const json::PathNode* at = nullptr);

// {"aps":{...}}: one line of compact JSON, known members in their order, absent ones left out.
Result<std::string, EncodingError> encodeEnvelope(const Envelope& envelope);

}  // namespace corvlin::updates

template <>
struct corvlin::json::CodingKeyStrings<corvlin::updates::EnvelopeCodingKeys> {
  static constexpr std::array<std::string_view, 1> values{"aps"};
};

template <>
struct corvlin::json::CodingKeyStrings<corvlin::updates::ApsCodingKeys> {
  static constexpr std::array<std::string_view, 10> values{
      "timestamp",       "event", "content-state",   "stale-date", "dismissal-date",
      "relevance-score", "alert", "attributes-type", "attributes", "input-push-channel"};
};

template <>
struct corvlin::json::CodingKeyStrings<corvlin::updates::AlertCodingKeys> {
  static constexpr std::array<std::string_view, 3> values{"title", "body", "sound"};
};

template <>
struct corvlin::json::CodingKeyStrings<corvlin::updates::LocalizedTextCodingKeys> {
  static constexpr std::array<std::string_view, 2> values{"loc-key", "loc-args"};
};

template <>
struct corvlin::json::CodingKeyStrings<corvlin::updates::SoundCodingKeys> {
  static constexpr std::array<std::string_view, 3> values{"critical", "name", "volume"};
};
