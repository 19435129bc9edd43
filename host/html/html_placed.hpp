// Laid-out views as HTML: every layer of the native layout becomes an element at the frame the
// layout gave it, each text line where the layout broke it. The browser places nothing itself.
#pragma once

#include <vector>

#include "host/html/html_element.hpp"
#include "layout/layout.hpp"

namespace corvlin::host::html {

// The elements of `node` and everything inside it, each absolutely positioned in points from
// `origin`, the top left (in the presentation's coordinates) of the element they are put in.
// A layer that only changes what is inherited (a font, a colour, a direction) has no element of
// its own; an EmptyView has none.
std::vector<Element> placedElements(const layout::Node& node, layout::Point origin);

// "12.5px", negative where the layout put something before its parent's edge; rounded to a
// thousandth of a point.
std::string offset(double value);

}  // namespace corvlin::host::html
