#include "host/drawing/draw_views.hpp"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

#include "toolkit/shape_style.hpp"

namespace corvlin::host::drawing {
namespace {

using layout::Node;
using layout::Rect;
using namespace ui;

// The host's own text colour where a view sets none.
ui::Color foregroundOf(const Node& node) { return node.environment.foreground.value_or(white); }

void roundedRect(cairo_t* cr, Rect r, double radius) {
  radius = std::min({radius, r.width / 2, r.height / 2});
  const double pi = std::numbers::pi;
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.right() - radius, r.y + radius, radius, -pi / 2, 0);
  cairo_arc(cr, r.right() - radius, r.bottom() - radius, radius, 0, pi / 2);
  cairo_arc(cr, r.x + radius, r.bottom() - radius, radius, pi / 2, pi);
  cairo_arc(cr, r.x + radius, r.y + radius, radius, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

void applyStroke(cairo_t* cr, const Stroke& s, bool trimmed) {
  setColor(cr, s.color);
  cairo_set_line_width(cr, std::max(0.0, s.lineWidth));
  cairo_set_line_cap(cr, s.lineCap == LineCap::round    ? CAIRO_LINE_CAP_ROUND
                         : s.lineCap == LineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                        : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, s.lineJoin == LineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                          : s.lineJoin == LineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                          : CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(cr, std::max(1.0, s.miterLimit));
  double total = 0;
  std::vector<double> dash;
  for (double d : s.dash) {
    dash.push_back(std::isfinite(d) ? std::max(0.0, d) : 0.0);
    total += dash.back();
  }
  // A trim is drawn as the part of the outline kept; a dash pattern of nothing is no pattern.
  if (!trimmed && total > 0) {
    cairo_set_dash(cr, dash.data(), static_cast<int>(dash.size()),
                   std::isfinite(s.dashPhase) ? s.dashPhase : 0);
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

void drawShape(cairo_t* cr, const Node& node, bool circle) {
  const ShapeStyle style = shapeStyle(*node.view);
  const Rect f = node.frame;
  if (style.trimTo <= style.trimFrom) return;  // trimmed to nothing
  const bool trimmed = style.trimFrom > 0 || style.trimTo < 1;
  cairo_new_path(cr);
  if (circle) {
    // The outline starts at the rightmost point and runs clockwise on screen.
    const double r = std::min(f.width, f.height) / 2;
    const double turn = 2 * std::numbers::pi;
    cairo_arc(cr, f.x + f.width / 2, f.y + f.height / 2, r, turn * style.trimFrom,
              turn * style.trimTo);
    if (!trimmed) cairo_close_path(cr);
  } else {
    roundedRect(cr, f, std::min(f.width, f.height) / 2);
  }
  if (style.stroke) {
    applyStroke(cr, *style.stroke, trimmed);
  } else {
    setColor(cr, style.fill ? style.fill->color : foregroundOf(node));
    cairo_fill(cr);
  }
}

// lock.fill: a padlock on a 14 by 18 grid; any other symbol an outlined box.
void drawSymbol(cairo_t* cr, const Node& node, const Image& image) {
  const Rect f = node.frame;
  cairo_save(cr);
  cairo_translate(cr, f.x, f.y);
  cairo_scale(cr, f.height / 18, f.height / 18);
  setColor(cr, foregroundOf(node));
  if (image.systemName == "lock.fill") {
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 3.6, 8);
    cairo_line_to(cr, 3.6, 5.4);
    cairo_arc(cr, 7, 5.4, 3.4, std::numbers::pi, 2 * std::numbers::pi);
    cairo_line_to(cr, 10.4, 8);
    cairo_stroke(cr);
    roundedRect(cr, {1, 7.5, 12, 10}, 2.2);
    cairo_fill(cr);
  } else {
    cairo_set_line_width(cr, 1.5);
    roundedRect(cr, {1.5, 3.5, 11, 11}, 2);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

void drawLines(cairo_t* cr, const Node& node, Fonts& fonts) {
  const layout::TextMetrics metrics = layout::textMetrics(node.environment.font);
  const layout::TextFont font{metrics.size, metrics.weight,
                              node.environment.font && node.environment.font->monospacedDigit};
  setColor(cr, foregroundOf(node));
  for (const auto& line : node.lines) {
    PangoLayout* text = fonts.lineLayout(line.text, font);
    PangoRectangle logical{};
    pango_layout_get_extents(text, nullptr, &logical);
    // The glyphs stand in the middle of the line's height, as a browser's half-leading puts them.
    const double height = static_cast<double>(logical.height) / PANGO_SCALE;
    cairo_move_to(cr, line.frame.x, line.frame.y + (line.frame.height - height) / 2);
    pango_cairo_show_layout(cr, text);
    g_object_unref(text);
  }
}

void drawChildren(cairo_t* cr, const Node& node, Fonts& fonts) {
  for (const auto& child : node.children) drawNode(cr, child, fonts);
}

void drawModifier(cairo_t* cr, const Node& node, Fonts& fonts) {
  std::visit(
      [&](const auto& m) {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, Opacity>) {
          cairo_push_group(cr);
          drawChildren(cr, node, fonts);
          cairo_pop_group_to_source(cr);
          cairo_paint_with_alpha(cr, std::isfinite(m.value) ? std::clamp(m.value, 0.0, 1.0) : 1.0);
        } else if constexpr (std::is_same_v<M, RotationEffect>) {
          const Rect f = node.frame;
          const double ax = f.x + f.width * (std::isfinite(m.anchor.x) ? m.anchor.x : 0.5);
          const double ay = f.y + f.height * (std::isfinite(m.anchor.y) ? m.anchor.y : 0.5);
          cairo_save(cr);
          cairo_translate(cr, ax, ay);
          if (std::isfinite(m.degrees)) cairo_rotate(cr, m.degrees * std::numbers::pi / 180);
          cairo_translate(cr, -ax, -ay);
          drawChildren(cr, node, fonts);
          cairo_restore(cr);
        } else {
          // A background's content comes first among the children, so it is drawn behind.
          drawChildren(cr, node, fonts);
        }
      },
      *node.modifier);
}

}  // namespace

void setColor(cairo_t* cr, const ui::Color& color) {
  auto part = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
  cairo_set_source_rgba(cr, part(color.red), part(color.green), part(color.blue),
                        part(color.opacity));
}

void drawNode(cairo_t* cr, const Node& node, Fonts& fonts) {
  if (node.modifier) {
    drawModifier(cr, node, fonts);
    return;
  }
  if (!node.view) return;
  std::visit(
      [&](const auto& k) {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, Text> || std::is_same_v<K, TimerText>) {
          drawLines(cr, node, fonts);
        } else if constexpr (std::is_same_v<K, Image>) {
          drawSymbol(cr, node, k);
        } else if constexpr (std::is_same_v<K, Circle>) {
          drawShape(cr, node, true);
        } else if constexpr (std::is_same_v<K, Capsule>) {
          drawShape(cr, node, false);
        } else {
          drawChildren(cr, node, fonts);
        }
      },
      node.view->kind);
}

std::optional<ui::Color> backgroundTint(const Node& node) {
  if (node.modifier) {
    if (const auto* t = std::get_if<ActivityBackgroundTint>(node.modifier)) return t->color;
  }
  for (const auto& child : node.children) {
    if (auto found = backgroundTint(child)) return found;
  }
  return std::nullopt;
}

}  // namespace corvlin::host::drawing
