// The names of the toolkit's enumeration values and of its view and modifier types, as the
// JSON form writes them: one table for each, read back through the same table.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>

#include "toolkit/view.hpp"

namespace corvlin::ui {

// One switch per enumeration, without a default, so that a new value cannot compile until it
// has a name. Each returns "" only for a number that is no value of the enumeration.
std::string_view name(VerticalAlignment value);
std::string_view name(HorizontalAlignment value);
std::string_view name(TextAlignment value);
std::string_view name(TextStyle value);
std::string_view name(FontWeight value);
std::string_view name(LayoutDirection value);
std::string_view name(LineCap value);
std::string_view name(LineJoin value);
std::string_view name(RoundedCornerStyle value);
std::string_view name(ExpandedRegionPosition value);
std::string_view name(Edge value);
// A 2-D alignment: "center", "leading", ..., "bottomTrailing".
std::string_view name(Alignment value);

namespace detail {
// The i-th value of an enumeration: 0, 1, 2, ... in declaration order; edges are bits.
template <class E>
constexpr E nthValue(unsigned i) {
  if constexpr (std::is_same_v<E, Edge>) {
    return static_cast<Edge>(1u << i);
  } else {
    return static_cast<E>(i);
  }
}
}  // namespace detail

// Calls f with every value of E, in order, found through name() (the values are numbered from
// 0, or are bits for edges, so the first number without a name ends them).
template <class E, class F>
void forEachValue(F f) {
  for (unsigned i = 0;; ++i) {
    const E value = detail::nthValue<E>(i);
    if (name(value).empty()) return;
    f(value);
  }
}

// The value named exactly `text`, or none.
template <class E>
std::optional<E> valueNamed(std::string_view text) {
  std::optional<E> found;
  forEachValue<E>([&](E value) {
    if (!found && name(value) == text) found = value;
  });
  return found;
}

template <>
std::optional<Alignment> valueNamed<Alignment>(std::string_view text);

// The name of a colour the toolkit defines (white, black), or none.
std::optional<std::string_view> namedColor(const Color& color);

// The "type" of each view kind and modifier, by the position of its alternative.
inline constexpr std::array<std::string_view, std::variant_size_v<ViewKind>> viewTypeNames{
    "HStack", "VStack",  "ZStack",    "Text",    "TimerText", "Image",
    "Circle", "Capsule", "EmptyView", "ForEach", "Link"};
inline constexpr std::array<std::string_view, std::variant_size_v<Modifier>> modifierTypeNames{
    "padding",
    "frame",
    "flexFrame",
    "font",
    "foregroundColor",
    "opacity",
    "background",
    "fill",
    "stroke",
    "trim",
    "rotationEffect",
    "multilineTextAlignment",
    "layoutDirection",
    "activityBackgroundTint",
    "activitySystemActionForegroundColor"};

// The position in `names` of `text`, or none.
template <std::size_t N>
constexpr std::optional<std::size_t> positionNamed(const std::array<std::string_view, N>& names,
                                                   std::string_view text) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == text) return i;
  }
  return std::nullopt;
}

}  // namespace corvlin::ui
