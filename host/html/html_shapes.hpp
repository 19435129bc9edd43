// Shapes drawn as HTML: a circle as SVG, a capsule as a box, with the fill, stroke and trim
// modifiers that come first on their view.
#pragma once

#include <cstddef>

#include "host/html/html_element.hpp"
#include "host/html/html_views.hpp"
#include "toolkit/view.hpp"

namespace corvlin::host::html {

// Each takes the shape modifiers from modifier `next` on and leaves `next` after them.
Element circleElement(const ui::View& view, const ViewContext& context, std::size_t& next);
Element capsuleElement(const ui::View& view, const ViewContext& context, std::size_t& next);

}  // namespace corvlin::host::html
