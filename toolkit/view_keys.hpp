// The key sets of the view description's JSON form, shared by its writer and its reader.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "json/coding_key.hpp"

namespace corvlin::ui {

// Every member a view may hold; each kind uses some of them.
enum class ViewKeys : std::uint8_t {
  type,
  alignment,
  spacing,
  children,
  text,
  lower,
  upper,
  countsDown,
  pauseTime,
  showsHours,
  systemName,
  style,
  destination,
  modifiers,
};

// Every member a modifier may hold; each modifier uses some of them.
enum class ModifierKeys : std::uint8_t {
  type,
  edges,
  length,
  width,
  height,
  alignment,
  maxWidth,
  style,
  monospacedDigit,
  weight,
  color,
  value,
  content,
  lineWidth,
  lineCap,
  lineJoin,
  miterLimit,
  dash,
  dashPhase,
  from,
  to,
  degrees,
  anchor,
};

enum class ColorKeys : std::uint8_t { red, green, blue, opacity };
enum class UnitPointKeys : std::uint8_t { x, y };
enum class RegionKeys : std::uint8_t { position, priority, content };
enum class IslandKeys : std::uint8_t { expanded, compactLeading, compactTrailing, minimal };
enum class PresentationsKeys : std::uint8_t { lockScreen, dynamicIsland };

}  // namespace corvlin::ui

namespace corvlin::json {

template <>
struct CodingKeyStrings<ui::ViewKeys> {
  static constexpr std::array<std::string_view, 14> values{
      "type",       "alignment", "spacing",    "children",   "text",  "lower",       "upper",
      "countsDown", "pauseTime", "showsHours", "systemName", "style", "destination", "modifiers"};
};

template <>
struct CodingKeyStrings<ui::ModifierKeys> {
  static constexpr std::array<std::string_view, 23> values{
      "type",    "edges",           "length",     "width", "height",    "alignment", "maxWidth",
      "style",   "monospacedDigit", "weight",     "color", "value",     "content",   "lineWidth",
      "lineCap", "lineJoin",        "miterLimit", "dash",  "dashPhase", "from",      "to",
      "degrees", "anchor"};
};

template <>
struct CodingKeyStrings<ui::ColorKeys> {
  static constexpr std::array<std::string_view, 4> values{"red", "green", "blue", "opacity"};
};

template <>
struct CodingKeyStrings<ui::UnitPointKeys> {
  static constexpr std::array<std::string_view, 2> values{"x", "y"};
};

template <>
struct CodingKeyStrings<ui::RegionKeys> {
  static constexpr std::array<std::string_view, 3> values{"position", "priority", "content"};
};

template <>
struct CodingKeyStrings<ui::IslandKeys> {
  static constexpr std::array<std::string_view, 4> values{"expanded", "compactLeading",
                                                          "compactTrailing", "minimal"};
};

template <>
struct CodingKeyStrings<ui::PresentationsKeys> {
  static constexpr std::array<std::string_view, 2> values{"lockScreen", "dynamicIsland"};
};

}  // namespace corvlin::json
