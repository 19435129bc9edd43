// The point size, line height and weight the page gives each text style: the layout's table, so
// that the page and the native layout measure a text alike.
#include "host/html/html_views.hpp"
#include "layout/text_styles.hpp"

namespace corvlin::host::html {

FontMetrics fontMetrics(const ui::Font& font) {
  const layout::TextMetrics metrics = layout::textMetrics(font);
  return {metrics.size, metrics.lineHeight, metrics.weight};
}

}  // namespace corvlin::host::html
