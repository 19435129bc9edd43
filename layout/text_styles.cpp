#include "layout/text_styles.hpp"

namespace corvlin::layout {

TextMetrics textMetrics(const std::optional<ui::Font>& font) {
  if (!font) return {};
  TextMetrics metrics;
  switch (font->style) {
    case ui::TextStyle::title2:
      metrics = {22, 28, 400};
      break;
    case ui::TextStyle::headline:
      metrics = {17, 22, 600};
      break;
    case ui::TextStyle::subheadline:
      metrics = {15, 20, 400};
      break;
    case ui::TextStyle::footnote:
      metrics = {13, 18, 400};
      break;
    case ui::TextStyle::caption:
      metrics = {12, 16, 400};
      break;
    case ui::TextStyle::caption2:
      metrics = {11, 13, 400};
      break;
  }
  if (font->weight == ui::FontWeight::semibold) metrics.weight = 600;
  return metrics;
}

}  // namespace corvlin::layout
