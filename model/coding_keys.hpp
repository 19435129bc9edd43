// The key sets (CodingKeys) of the three coded records, and the operations every key offers:
// stringValue, intValue (always absent), construction from a string (exact) and from an
// integer (never), equality (built in), hashing (its position as one 64-bit word) and the
// standard description "CodingKeys(stringValue: \"title\", intValue: nil)".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "json/coding_key.hpp"
#include "model/hasher.hpp"
#include "model/records.hpp"

namespace corvlin {

enum class AttributesCodingKeys : std::uint8_t { kind, activityId };

enum class ContentStateCodingKeys : std::uint8_t {
  title,
  body,
  detail,
  tone,
  progress,
  timerStart,
  timerEnd,
  timerDirection,
  actions,
};

enum class ActionSpecCodingKeys : std::uint8_t { actionId, label, requiresAuth };

// The key strings of each key set, by position.
template <>
struct json::CodingKeyStrings<AttributesCodingKeys> {
  static constexpr std::array<std::string_view, 2> values{"kind", "activityId"};
};

template <>
struct json::CodingKeyStrings<ContentStateCodingKeys> {
  static constexpr std::array<std::string_view, 9> values{
      "title",      "body",     "detail",         "tone",   "progress",
      "timerStart", "timerEnd", "timerDirection", "actions"};
};

template <>
struct json::CodingKeyStrings<ActionSpecCodingKeys> {
  static constexpr std::array<std::string_view, 3> values{"actionId", "label", "requiresAuth"};
};

using json::CodingKey;
using json::codingKeyCount;
using json::codingKeyFromString;
using json::position;
using json::stringValue;

template <CodingKey Key>
constexpr std::optional<int> intValue(Key) noexcept {
  return std::nullopt;
}

// The keys have no integer form: always no key.
template <CodingKey Key>
constexpr std::optional<Key> codingKeyFromInt(int) noexcept {
  return std::nullopt;
}

template <CodingKey Key>
void hash(Hasher& hasher, Key key) noexcept {
  hasher.word(static_cast<std::uint64_t>(position(key)));
}

template <CodingKey Key>
std::uint64_t hashValue(Key key, std::uint64_t seed) noexcept {
  Hasher hasher(seed);
  hash(hasher, key);
  return hasher.finish();
}

template <CodingKey Key>
std::uint64_t hashValue(Key key) noexcept {
  return hashValue(key, 0);
}

// The platform's standard description of a coding key (the debug description is the same).
template <CodingKey Key>
std::string description(Key key) {
  std::string out = "CodingKeys(stringValue: \"";
  out += stringValue(key);
  out += "\", intValue: nil)";
  return out;
}

template <CodingKey Key>
std::string debugDescription(Key key) {
  return description(key);
}

template <CodingKey Key>
std::ostream& operator<<(std::ostream& out, Key key) {
  return out << description(key);
}

}  // namespace corvlin
