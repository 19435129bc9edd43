// Shapes drawn as HTML: a circle as SVG, a capsule as a box, with the fill, stroke and trim
// modifiers that come first on their view.
#pragma once

#include "host/html/html_element.hpp"
#include "layout/layout.hpp"
#include "toolkit/view.hpp"

namespace corvlin::host::html {

// A circle inscribed in `size`, a capsule as large as it is placed; each with the trims and the
// fill or stroke that come first among its view's modifiers; without a fill or stroke, in the
// colour inherited.
Element circleElement(const ui::View& view, layout::Size size);
Element capsuleElement(const ui::View& view);

}  // namespace corvlin::host::html
