// What the page draws views with: lengths, colours, symbols and links as HTML and CSS.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/html/html_element.hpp"
#include "toolkit/view.hpp"

namespace corvlin::host::html {

// A length in CSS pixels, never negative, to a thousandth of a point: "12px".
std::string px(double value);

// "color(srgb r g b / a)": the exact components, with no rounding to 8 bits.
std::string cssColor(const ui::Color& color);

// A symbol as inline SVG: lock.fill as a padlock, any other as an outlined box; it takes the
// height of the box it is placed in.
Element symbolElement(const ui::Image& image);

// Only the containing app's own scheme becomes a link target; anything else gets no href.
bool isDeepLink(std::string_view destination);

// The colours the two activity modifiers hand the host, wherever in the tree they are set; the
// first met from the root down (outermost modifier first) is taken.
std::optional<ui::Color> activityBackgroundTint(const ui::View& view);
std::optional<ui::Color> activitySystemActionForegroundColor(const ui::View& view);

}  // namespace corvlin::host::html
