#include "toolkit/view_names.hpp"

#include "json/names.hpp"

template <>
struct corvlin::json::EnumNames<corvlin::ui::VerticalAlignment> {
  static constexpr std::array<std::string_view, 3> values{"top", "center", "bottom"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::HorizontalAlignment> {
  static constexpr std::array<std::string_view, 3> values{"leading", "center", "trailing"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::TextAlignment> {
  static constexpr std::array<std::string_view, 3> values{"leading", "center", "trailing"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::TextStyle> {
  static constexpr std::array<std::string_view, 6> values{"title2",   "headline", "subheadline",
                                                          "footnote", "caption",  "caption2"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::FontWeight> {
  static constexpr std::array<std::string_view, 1> values{"semibold"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::LayoutDirection> {
  static constexpr std::array<std::string_view, 2> values{"leftToRight", "rightToLeft"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::LineCap> {
  static constexpr std::array<std::string_view, 3> values{"butt", "round", "square"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::LineJoin> {
  static constexpr std::array<std::string_view, 3> values{"miter", "round", "bevel"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::RoundedCornerStyle> {
  static constexpr std::array<std::string_view, 2> values{"circular", "continuous"};
};
template <>
struct corvlin::json::EnumNames<corvlin::ui::ExpandedRegionPosition> {
  static constexpr std::array<std::string_view, 4> values{"leading", "trailing", "center",
                                                          "bottom"};
};

namespace corvlin::ui {

static_assert(json::namesEvery(VerticalAlignment::bottom));
static_assert(json::namesEvery(HorizontalAlignment::trailing));
static_assert(json::namesEvery(TextAlignment::trailing));
static_assert(json::namesEvery(TextStyle::caption2));
static_assert(json::namesEvery(FontWeight::semibold));
static_assert(json::namesEvery(LayoutDirection::rightToLeft));
static_assert(json::namesEvery(LineCap::square));
static_assert(json::namesEvery(LineJoin::bevel));
static_assert(json::namesEvery(RoundedCornerStyle::continuous));
static_assert(json::namesEvery(ExpandedRegionPosition::bottom));

std::string_view name(VerticalAlignment value) { return json::nameOf(value); }

std::string_view name(HorizontalAlignment value) { return json::nameOf(value); }

std::string_view name(TextAlignment value) { return json::nameOf(value); }

std::string_view name(TextStyle value) { return json::nameOf(value); }

std::string_view name(FontWeight value) { return json::nameOf(value); }

std::string_view name(LayoutDirection value) { return json::nameOf(value); }

std::string_view name(LineCap value) { return json::nameOf(value); }

std::string_view name(LineJoin value) { return json::nameOf(value); }

std::string_view name(RoundedCornerStyle value) { return json::nameOf(value); }

std::string_view name(ExpandedRegionPosition value) { return json::nameOf(value); }

std::string_view name(Edge value) {
  switch (value) {
    case Edge::top:
      return "top";
    case Edge::leading:
      return "leading";
    case Edge::bottom:
      return "bottom";
    case Edge::trailing:
      return "trailing";
  }
  return {};
}

std::string_view name(Alignment value) {
  switch (value.vertical) {
    case VerticalAlignment::top:
      switch (value.horizontal) {
        case HorizontalAlignment::leading:
          return "topLeading";
        case HorizontalAlignment::center:
          return "top";
        case HorizontalAlignment::trailing:
          return "topTrailing";
      }
      break;
    case VerticalAlignment::center:
      // The centre line's names are the horizontal ones.
      return name(value.horizontal);
    case VerticalAlignment::bottom:
      switch (value.horizontal) {
        case HorizontalAlignment::leading:
          return "bottomLeading";
        case HorizontalAlignment::center:
          return "bottom";
        case HorizontalAlignment::trailing:
          return "bottomTrailing";
      }
      break;
  }
  return {};
}

std::optional<std::string_view> namedColor(const Color& color) {
  if (color == white) return "white";
  if (color == black) return "black";
  return std::nullopt;
}

template <>
std::optional<Alignment> valueNamed<Alignment>(std::string_view text) {
  std::optional<Alignment> found;
  forEachValue<VerticalAlignment>([&](VerticalAlignment vertical) {
    forEachValue<HorizontalAlignment>([&](HorizontalAlignment horizontal) {
      const Alignment value{horizontal, vertical};
      if (!found && name(value) == text) found = value;
    });
  });
  return found;
}

}  // namespace corvlin::ui
