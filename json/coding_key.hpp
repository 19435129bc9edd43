// Key sets (CodingKeys) for keyed containers: an enum whose key strings are listed, by position,
// in one specialisation of CodingKeyStrings.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace corvlin::json {

// Specialise with `static constexpr std::array<std::string_view, N> values{...}`, one key string
// per enumerator, in enumerator order (0, 1, 2, ...).
template <class Key>
struct CodingKeyStrings;

template <class Key>
concept CodingKey = requires {
  CodingKeyStrings<Key>::values;
};

template <CodingKey Key>
constexpr std::size_t codingKeyCount = CodingKeyStrings<Key>::values.size();

template <CodingKey Key>
constexpr std::size_t position(Key key) noexcept {
  return static_cast<std::size_t>(key);
}

template <CodingKey Key>
constexpr std::string_view stringValue(Key key) noexcept {
  return CodingKeyStrings<Key>::values[position(key)];
}

// The key whose key string is exactly `text` (case-sensitive, whole string, no trimming).
template <CodingKey Key>
constexpr std::optional<Key> codingKeyFromString(std::string_view text) noexcept {
  const auto& values = CodingKeyStrings<Key>::values;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] == text) return static_cast<Key>(i);
  }
  return std::nullopt;
}

}  // namespace corvlin::json
