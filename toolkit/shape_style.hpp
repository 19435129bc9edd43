// How a shape's modifiers combine into what it is filled or stroked with, one rule for every
// renderer.
#pragma once

#include <optional>

#include "toolkit/view.hpp"

namespace corvlin::ui {

// What a shape is drawn with: the part of its path left by its trims, and its fill or stroke.
struct ShapeStyle {
  double trimFrom = 0;  // fractions of the path, 0 <= trimFrom, trimTo <= 1
  double trimTo = 1;    // nothing is drawn when trimTo <= trimFrom
  std::optional<Fill> fill;
  std::optional<Stroke> stroke;
};

// The trims, then the fill or stroke, that come first among the view's modifiers: a trim of a
// trimmed path picks its fractions out of what is left, and the first modifier that is none of
// these (or the first fill or stroke) ends the shape's own modifiers.
ShapeStyle shapeStyle(const View& view);

}  // namespace corvlin::ui
