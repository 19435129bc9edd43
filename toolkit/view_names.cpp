#include "toolkit/view_names.hpp"

namespace corvlin::ui {

std::string_view name(VerticalAlignment value) {
  switch (value) {
    case VerticalAlignment::top:
      return "top";
    case VerticalAlignment::center:
      return "center";
    case VerticalAlignment::bottom:
      return "bottom";
  }
  return {};
}

std::string_view name(HorizontalAlignment value) {
  switch (value) {
    case HorizontalAlignment::leading:
      return "leading";
    case HorizontalAlignment::center:
      return "center";
    case HorizontalAlignment::trailing:
      return "trailing";
  }
  return {};
}

std::string_view name(TextAlignment value) {
  switch (value) {
    case TextAlignment::leading:
      return "leading";
    case TextAlignment::center:
      return "center";
    case TextAlignment::trailing:
      return "trailing";
  }
  return {};
}

std::string_view name(TextStyle value) {
  switch (value) {
    case TextStyle::title2:
      return "title2";
    case TextStyle::headline:
      return "headline";
    case TextStyle::subheadline:
      return "subheadline";
    case TextStyle::footnote:
      return "footnote";
    case TextStyle::caption:
      return "caption";
    case TextStyle::caption2:
      return "caption2";
  }
  return {};
}

std::string_view name(FontWeight value) {
  switch (value) {
    case FontWeight::semibold:
      return "semibold";
  }
  return {};
}

std::string_view name(LayoutDirection value) {
  switch (value) {
    case LayoutDirection::leftToRight:
      return "leftToRight";
    case LayoutDirection::rightToLeft:
      return "rightToLeft";
  }
  return {};
}

std::string_view name(LineCap value) {
  switch (value) {
    case LineCap::butt:
      return "butt";
    case LineCap::round:
      return "round";
    case LineCap::square:
      return "square";
  }
  return {};
}

std::string_view name(LineJoin value) {
  switch (value) {
    case LineJoin::miter:
      return "miter";
    case LineJoin::round:
      return "round";
    case LineJoin::bevel:
      return "bevel";
  }
  return {};
}

std::string_view name(RoundedCornerStyle value) {
  switch (value) {
    case RoundedCornerStyle::circular:
      return "circular";
    case RoundedCornerStyle::continuous:
      return "continuous";
  }
  return {};
}

std::string_view name(ExpandedRegionPosition value) {
  switch (value) {
    case ExpandedRegionPosition::leading:
      return "leading";
    case ExpandedRegionPosition::trailing:
      return "trailing";
    case ExpandedRegionPosition::center:
      return "center";
    case ExpandedRegionPosition::bottom:
      return "bottom";
  }
  return {};
}

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
