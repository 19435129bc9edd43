#include "host/html/html_placed.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "host/html/html_shapes.hpp"
#include "host/html/html_views.hpp"
#include "layout/text_styles.hpp"

namespace corvlin::host::html {
namespace {

using layout::Node;
using layout::Point;
using layout::Rect;
using namespace ui;

// Puts `e` at `frame`, in points from `origin`.
void placeAt(Element& e, const Rect& frame, Point origin) {
  e.classes.insert(e.classes.begin(), "placed");
  e.setStyle("left", offset(frame.x - origin.x));
  e.setStyle("top", offset(frame.y - origin.y));
  e.setStyle("width", px(frame.width));
  e.setStyle("height", px(frame.height));
}

Point originOf(const Rect& frame) { return {frame.x, frame.y}; }

void placeChildren(const Node& node, Point origin, std::vector<Element>& out);

// An element for the layer, its children placed inside it.
Element container(const Node& node, Point origin, std::string tag, std::string kind) {
  Element e = element(std::move(tag), {std::move(kind)});
  placeAt(e, node.frame, origin);
  std::vector<Element> inside;
  placeChildren(node, originOf(node.frame), inside);
  e.children = std::move(inside);
  return e;
}

// The colour a view inherits, where one was set; else the presentation's white.
void inheritColor(Element& e, const Node& node) {
  if (node.environment.foreground) e.setStyle("color", cssColor(*node.environment.foreground));
}

// A text or a timer: its lines, each at the box the layout broke it into. A timer's one line
// carries its range, so that the page's clock replaces its text where it stands.
Element textElement(const Node& node, Point origin, const TimerText* timer) {
  Element e = element("span", {"text"});
  placeAt(e, node.frame, origin);
  inheritColor(e, node);
  const layout::TextMetrics metrics = layout::textMetrics(node.environment.font);
  e.setStyle("font-size", px(metrics.size));
  e.setStyle("line-height", px(metrics.lineHeight));
  e.setStyle("font-weight", std::to_string(metrics.weight));
  if (node.environment.font && node.environment.font->monospacedDigit) {
    e.setStyle("font-variant-numeric", "tabular-nums");
  }
  e.setAttribute("data-lines", std::to_string(node.lines.size()));
  if (node.truncated) e.setAttribute("data-truncated", "true");
  for (const auto& line : node.lines) {
    Element l = element("span", {"line"});
    placeAt(l, line.frame, originOf(node.frame));
    // Each line sets its own direction from its letters, and starts at the side it reads from.
    l.setAttribute("dir", "auto");
    l.text = line.text;
    if (timer) {
      l.classes.emplace_back("timer");
      l.setAttribute("data-lower", number(timer->lower));
      l.setAttribute("data-upper", number(timer->upper));
      l.setAttribute("data-counts-down", timer->countsDown ? "true" : "false");
      l.setAttribute("data-shows-hours", timer->showsHours ? "true" : "false");
      if (timer->pauseTime) l.setAttribute("data-pause-time", number(*timer->pauseTime));
    }
    e.children.push_back(std::move(l));
  }
  return e;
}

std::vector<Element> placeKind(const Node& node, Point origin) {
  std::vector<Element> out;
  std::visit(
      [&](const auto& k) {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, HStack>) {
          out.push_back(container(node, origin, "div", "hstack"));
        } else if constexpr (std::is_same_v<K, VStack>) {
          out.push_back(container(node, origin, "div", "vstack"));
        } else if constexpr (std::is_same_v<K, ZStack>) {
          out.push_back(container(node, origin, "div", "zstack"));
        } else if constexpr (std::is_same_v<K, ForEach>) {
          out.push_back(container(node, origin, "div", "list"));
        } else if constexpr (std::is_same_v<K, Text>) {
          out.push_back(textElement(node, origin, nullptr));
        } else if constexpr (std::is_same_v<K, TimerText>) {
          out.push_back(textElement(node, origin, &k));
        } else if constexpr (std::is_same_v<K, Image>) {
          Element e = symbolElement(k);
          placeAt(e, node.frame, origin);
          inheritColor(e, node);
          out.push_back(std::move(e));
        } else if constexpr (std::is_same_v<K, Circle> || std::is_same_v<K, Capsule>) {
          Element e = std::is_same_v<K, Circle>
                          ? circleElement(*node.view, {node.frame.width, node.frame.height})
                          : capsuleElement(*node.view);
          placeAt(e, node.frame, origin);
          inheritColor(e, node);
          out.push_back(std::move(e));
        } else if constexpr (std::is_same_v<K, EmptyView>) {
          // Nothing to see.
        } else {
          static_assert(std::is_same_v<K, Link>);
          Element a = container(node, origin, "a", "link");
          if (isDeepLink(k.destination)) a.setAttribute("href", std::string(k.destination));
          a.setAttribute("data-testid", "action-link");
          out.push_back(std::move(a));
        }
      },
      node.view->kind);
  return out;
}

// A rotation turns the one element of the layer inside it about its anchor; that element has
// the layer's frame, as a rotation takes the size of what it turns.
std::vector<Element> rotated(const Node& node, Point origin, const RotationEffect& m) {
  std::vector<Element> inside;
  placeChildren(node, origin, inside);
  if (inside.size() != 1 || inside.front().styleValue("transform")) {
    inside.clear();
    inside.push_back(container(node, origin, "div", "group"));
  }
  const auto finite = [](double v, double otherwise) { return std::isfinite(v) ? v : otherwise; };
  Element& turned = inside.front();
  turned.setStyle("transform", "rotate(" + number(finite(m.degrees, 0)) + "deg)");
  turned.setStyle("transform-origin", offset(node.frame.width * finite(m.anchor.x, 0.5)) + " " +
                                          offset(node.frame.height * finite(m.anchor.y, 0.5)));
  return inside;
}

std::vector<Element> placeModifier(const Node& node, Point origin) {
  return std::visit(
      [&](const auto& m) -> std::vector<Element> {
        using M = std::decay_t<decltype(m)>;
        std::vector<Element> out;
        if constexpr (std::is_same_v<M, Padding>) {
          out.push_back(container(node, origin, "div", "box"));
        } else if constexpr (std::is_same_v<M, Frame>) {
          out.push_back(container(node, origin, "div", "frame"));
        } else if constexpr (std::is_same_v<M, FlexFrame>) {
          out.push_back(container(node, origin, "div", "flex-frame"));
        } else if constexpr (std::is_same_v<M, Background>) {
          // The background's content comes first among the children: it is drawn behind.
          out.push_back(container(node, origin, "div", "backed"));
        } else if constexpr (std::is_same_v<M, Opacity>) {
          Element e = container(node, origin, "div", "group");
          e.setStyle("opacity", number(std::isfinite(m.value) ? std::clamp(m.value, 0.0, 1.0) : 1));
          out.push_back(std::move(e));
        } else if constexpr (std::is_same_v<M, RotationEffect>) {
          out = rotated(node, origin, m);
        } else {
          // Fonts, colours, directions and the shapes' own modifiers reach the views inside
          // through their environment; the activity modifiers go to the presentation's frame.
          placeChildren(node, origin, out);
        }
        return out;
      },
      *node.modifier);
}

void placeChildren(const Node& node, Point origin, std::vector<Element>& out) {
  for (const auto& child : node.children) {
    for (auto& e : placedElements(child, origin)) out.push_back(std::move(e));
  }
}

}  // namespace

std::string offset(double value) {
  if (!std::isfinite(value)) return "0px";
  return number(std::round(value * 1000) / 1000) + "px";
}

std::vector<Element> placedElements(const Node& node, Point origin) {
  if (node.modifier) return placeModifier(node, origin);
  if (!node.view) return {};
  return placeKind(node, origin);
}

}  // namespace corvlin::host::html
