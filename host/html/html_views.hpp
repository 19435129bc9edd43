// Views and modifiers of a view description drawn as HTML elements and CSS.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/html/html_element.hpp"
#include "toolkit/view.hpp"

namespace corvlin::host::html {

// What a view receives from the views around it.
struct ViewContext {
  double now = 0;  // the instant the timers' first text is written for
  ui::LayoutDirection direction = ui::LayoutDirection::leftToRight;
  ui::TextAlignment textAlignment = ui::TextAlignment::leading;
  // The size a fixed frame above offers, when one does; shapes take it.
  std::optional<double> width;
  std::optional<double> height;
};

// The elements a view draws as: none for an EmptyView (padded or not), one per position for a
// ForEach, one otherwise. An element that takes all the width offered carries "fill-w".
std::vector<Element> renderView(const ui::View& view, const ViewContext& context);

// A length in CSS pixels, never negative: "12px".
std::string px(double value);

// "color(srgb r g b / a)": the exact components, with no rounding to 8 bits.
std::string cssColor(const ui::Color& color);

// The point size, line height and weight chosen for a font.
struct FontMetrics {
  double size = 17;
  double lineHeight = 22;
  int weight = 400;
};
FontMetrics fontMetrics(const ui::Font& font);

// Only the containing app's own scheme becomes a link target; anything else gets no href.
bool isDeepLink(std::string_view destination);

// The colours the two activity modifiers hand the host, wherever in the tree they are set; the
// first met from the root down (outermost modifier first) is taken.
std::optional<ui::Color> activityBackgroundTint(const ui::View& view);
std::optional<ui::Color> activitySystemActionForegroundColor(const ui::View& view);

}  // namespace corvlin::host::html
