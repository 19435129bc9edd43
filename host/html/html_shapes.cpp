#include "host/html/html_shapes.hpp"

#include <algorithm>
#include <numbers>
#include <optional>
#include <string>

#include "host/html/html_views.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::host::html {

using namespace ui;

namespace {

// What a shape is filled or stroked with: the shape modifiers that come first on its view.
struct ShapeStyle {
  double trimFrom = 0;
  double trimTo = 1;
  std::optional<Fill> fill;
  std::optional<Stroke> stroke;
};

ShapeStyle shapeModifiers(const View& view) {
  ShapeStyle style;
  for (const auto& m : view.modifiers) {
    if (const auto* t = std::get_if<Trim>(&m)) {
      // A trim of a trimmed path picks its fractions out of what is left.
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

std::string dashList(const std::vector<double>& dash) {
  std::string out;
  for (double d : dash) out += (out.empty() ? "" : " ") + number(std::max(0.0, d));
  return out;
}

// A circle as SVG. Its path starts at the rightmost point and runs clockwise on screen, as the
// toolkit's circle does, so a trim and a rotation mean the same here.
}  // namespace

Element circleElement(const View& view, layout::Size size) {
  const ShapeStyle style = shapeModifiers(view);
  Element svg = element("svg", {"shape", "circle"});
  const double width = size.width;
  const double height = size.height;
  svg.setAttribute("viewBox", "0 0 " + number(width) + " " + number(height));
  svg.setAttribute("aria-hidden", "true");
  const double radius = std::min(width, height) / 2;
  Element circle = element("circle");
  circle.setAttribute("cx", number(width / 2));
  circle.setAttribute("cy", number(height / 2));
  circle.setAttribute("r", number(radius));
  if (style.stroke) {
    const Stroke& s = *style.stroke;
    const double circumference = 2 * std::numbers::pi * radius;
    const bool visible = style.trimTo > style.trimFrom;
    circle.setAttribute("fill", "none");
    circle.setAttribute("stroke", visible ? cssColor(s.color) : "none");
    circle.setAttribute("stroke-width", number(std::max(0.0, s.lineWidth)));
    circle.setAttribute("stroke-linecap", std::string(name(s.lineCap)));
    circle.setAttribute("stroke-linejoin", std::string(name(s.lineJoin)));
    circle.setAttribute("stroke-miterlimit", number(s.miterLimit));
    if (visible && (style.trimFrom > 0 || style.trimTo < 1)) {
      // One dash as long as the kept part, then a gap of the whole circle.
      circle.setAttribute(
          "stroke-dasharray",
          number((style.trimTo - style.trimFrom) * circumference) + " " + number(circumference));
      if (style.trimFrom > 0) {
        circle.setAttribute("stroke-dashoffset", number(-style.trimFrom * circumference));
      }
    } else if (visible && !s.dash.empty()) {
      circle.setAttribute("stroke-dasharray", dashList(s.dash));
      if (s.dashPhase != 0) circle.setAttribute("stroke-dashoffset", number(s.dashPhase));
    }
  } else {
    circle.setAttribute("fill", style.fill ? cssColor(style.fill->color) : "currentColor");
  }
  svg.children.push_back(std::move(circle));
  return svg;
}

Element capsuleElement(const View& view) {
  const ShapeStyle style = shapeModifiers(view);
  Element e = element("div", {"shape", "capsule"});
  if (style.stroke) {
    // A stroke is centred on the outline: half inside, half outside.
    const std::string half = px(style.stroke->lineWidth / 2);
    const std::string color = cssColor(style.stroke->color);
    e.setStyle("box-shadow", "0 0 0 " + half + " " + color + ",inset 0 0 0 " + half + " " + color);
  } else {
    e.setStyle("background-color", style.fill ? cssColor(style.fill->color) : "currentColor");
  }
  return e;
}

}  // namespace corvlin::host::html
