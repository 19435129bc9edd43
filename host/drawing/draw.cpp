#include "host/drawing/draw.hpp"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <numbers>

#include "host/drawing/draw_views.hpp"
#include "json/try.hpp"

namespace corvlin::host::drawing {
namespace {

// The card's colour when the view hands none: the page's translucent dark grey.
constexpr ui::Color defaultCard{28.0 / 255, 28.0 / 255, 30.0 / 255, 0.6};
constexpr double lockScreenCorner = 24;
constexpr double expandedCorner = 44;
constexpr double lensDiameter = 11;
constexpr double lensInset = 14;

enum class Shape { card, expanded, pill, circle };

void outline(cairo_t* cr, Shape shape, layout::Size size) {
  cairo_new_path(cr);
  const double pi = std::numbers::pi;
  const double radius = shape == Shape::card       ? lockScreenCorner
                        : shape == Shape::expanded ? expandedCorner
                                                   : std::min(size.width, size.height) / 2;
  const double r = std::min({radius, size.width / 2, size.height / 2});
  cairo_arc(cr, size.width - r, r, r, -pi / 2, 0);
  cairo_arc(cr, size.width - r, size.height - r, r, 0, pi / 2);
  cairo_arc(cr, r, size.height - r, r, pi / 2, pi);
  cairo_arc(cr, r, r, r, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

Result<Picture, std::string> draw(const layout::Presentation& p, Shape shape, std::string file,
                                  double scale, Fonts& fonts) {
  const int width = static_cast<int>(std::ceil(p.size.width * scale - 1e-6));
  const int height = static_cast<int>(std::ceil(p.size.height * scale - 1e-6));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  pango_cairo_update_context(cr, fonts.context());

  outline(cr, shape, p.size);
  cairo_clip_preserve(cr);
  if (shape == Shape::card) {
    const layout::Node* root = p.regions.empty() ? nullptr : &p.regions.front().content;
    setColor(cr, (root ? backgroundTint(*root) : std::nullopt).value_or(defaultCard));
  } else {
    setColor(cr, ui::black);
  }
  cairo_fill(cr);
  if (shape == Shape::pill) {
    // The camera, at the right of the area between the pieces.
    const double cx =
        layout::compactPieceWidth + layout::cameraWidth - lensInset - lensDiameter / 2;
    cairo_arc(cr, cx, p.size.height / 2, lensDiameter / 2, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(cr, 0.055, 0.082, 0.149);
    cairo_fill(cr);
  }
  for (const auto& region : p.regions) {
    cairo_save(cr);
    // Each compact piece cuts what lies outside it.
    if (shape == Shape::pill) {
      cairo_rectangle(cr, region.frame.x, region.frame.y, region.frame.width, region.frame.height);
      cairo_clip(cr);
    }
    drawNode(cr, region.content, fonts);
    cairo_restore(cr);
  }
  // The measuring context goes back to points, as it was before this picture.
  pango_context_set_matrix(fonts.context(), nullptr);

  Picture picture{std::move(file), {}};
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_write_to_png_stream(surface, append, &picture.png);
  }
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    return Failure{"cannot draw " + picture.file + ": " + cairo_status_to_string(status)};
  }
  return picture;
}

}  // namespace

Result<Picture, std::string> drawPresentation(const layout::Presentation& presentation,
                                              layout::Which which, double scale, Fonts& fonts) {
  switch (which) {
    case layout::Which::lockScreen:
      return draw(presentation, Shape::card, "lock-screen.png", scale, fonts);
    case layout::Which::expanded:
      return draw(presentation, Shape::expanded, "island-expanded.png", scale, fonts);
    case layout::Which::compact:
      return draw(presentation, Shape::pill, "island-compact.png", scale, fonts);
    case layout::Which::minimal:
      return draw(presentation, Shape::circle, "island-minimal.png", scale, fonts);
  }
  return Failure{std::string("no such presentation")};
}

Result<std::vector<Picture>, std::string> drawActivity(const layout::ActivityLayout& activity,
                                                       double scale, Fonts& fonts) {
  const std::pair<const layout::Presentation*, layout::Which> jobs[] = {
      {&activity.lockScreen, layout::Which::lockScreen},
      {&activity.expanded, layout::Which::expanded},
      {&activity.compact, layout::Which::compact},
      {&activity.minimal, layout::Which::minimal}};
  std::vector<Picture> pictures;
  for (const auto& [presentation, which] : jobs) {
    CORVLIN_TRY(picture, drawPresentation(*presentation, which, scale, fonts));
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

}  // namespace corvlin::host::drawing
