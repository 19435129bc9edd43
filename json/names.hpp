// One name table per enumeration: the names of its values by position, read both ways.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <type_traits>

namespace corvlin::json {

// Specialised for an enumeration numbered 0, 1, 2, ... in declaration order:
//   template <> struct json::EnumNames<E> {
//     static constexpr std::array<std::string_view, N> values{"first", "second", ...};
//   };
//   static_assert(json::namesEvery(E::last));
template <class E>
struct EnumNames;

template <class E>
concept NamedEnum = std::is_enum_v<E> && requires {
  EnumNames<E>::values;
};

// True when the table has a name for every value up to `last`, the enumeration's last value, and
// no more: for a static_assert beside the table, so that a new value needs a name.
template <NamedEnum E>
constexpr bool namesEvery(E last) noexcept {
  return EnumNames<E>::values.size() == static_cast<std::size_t>(last) + 1;
}

// The name of `value`, or `otherwise` for a number that is no value of E.
template <NamedEnum E>
constexpr std::string_view nameOf(E value, std::string_view otherwise = {}) noexcept {
  const auto index = static_cast<std::size_t>(value);
  return index < EnumNames<E>::values.size() ? EnumNames<E>::values[index] : otherwise;
}

// The value named exactly `text`, or none.
template <NamedEnum E>
constexpr std::optional<E> enumNamed(std::string_view text) noexcept {
  const auto& names = EnumNames<E>::values;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == text) return static_cast<E>(i);
  }
  return std::nullopt;
}

}  // namespace corvlin::json
