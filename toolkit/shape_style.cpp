#include "toolkit/shape_style.hpp"

#include <algorithm>
#include <variant>

namespace corvlin::ui {

ShapeStyle shapeStyle(const View& view) {
  ShapeStyle style;
  for (const auto& m : view.modifiers) {
    if (const auto* t = std::get_if<Trim>(&m)) {
      const double span = style.trimTo - style.trimFrom;
      const double from = std::clamp(t->from, 0.0, 1.0);
      const double to = std::clamp(t->to, 0.0, 1.0);
      style.trimTo = style.trimFrom + to * span;
      style.trimFrom = style.trimFrom + from * span;
    } else if (const auto* f = std::get_if<Fill>(&m)) {
      style.fill = *f;
      break;
    } else if (const auto* s = std::get_if<Stroke>(&m)) {
      style.stroke = *s;
      break;
    } else {
      break;
    }
  }
  return style;
}

}  // namespace corvlin::ui
