// The point size, line height and weight of each text style: one table for every renderer, so
// that the page and the native layout give a text the same metrics.
#pragma once

#include <optional>

#include "toolkit/view.hpp"

namespace corvlin::layout {

struct TextMetrics {
  double size = 17;
  double lineHeight = 22;
  int weight = 400;
};

// The metrics of a font; without one, the host's own text (17 points on 22, regular).
TextMetrics textMetrics(const std::optional<ui::Font>& font);

}  // namespace corvlin::layout
