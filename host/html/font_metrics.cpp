// The point size, line height and weight the page gives each text style.
#include "host/html/html_views.hpp"

namespace corvlin::host::html {

using ui::Font;
using ui::FontWeight;
using ui::TextStyle;

FontMetrics fontMetrics(const Font& font) {
  FontMetrics metrics;
  switch (font.style) {
    case TextStyle::title2:
      metrics = {22, 28, 400};
      break;
    case TextStyle::headline:
      metrics = {17, 22, 600};
      break;
    case TextStyle::subheadline:
      metrics = {15, 20, 400};
      break;
    case TextStyle::footnote:
      metrics = {13, 18, 400};
      break;
    case TextStyle::caption:
      metrics = {12, 16, 400};
      break;
    case TextStyle::caption2:
      metrics = {11, 13, 400};
      break;
  }
  if (font.weight == FontWeight::semibold) metrics.weight = 600;
  return metrics;
}

}  // namespace corvlin::host::html
