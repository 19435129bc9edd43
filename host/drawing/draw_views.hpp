// Drawing laid-out views onto a Cairo context: the layers of each view, its shapes, symbols and
// text lines.
#pragma once

#include <cairo.h>

#include <optional>

#include "host/drawing/fonts.hpp"
#include "layout/layout.hpp"

namespace corvlin::host::drawing {

// Draws `node` and everything inside it, in points (the context's matrix scales to pixels).
void drawNode(cairo_t* cr, const layout::Node& node, Fonts& fonts);

// The colour the activityBackgroundTint modifier hands the host, the first met from the root.
std::optional<ui::Color> backgroundTint(const layout::Node& node);

void setColor(cairo_t* cr, const ui::Color& color);

}  // namespace corvlin::host::drawing
