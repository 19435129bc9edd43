#include "host/html/html_views.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "host/html/html_shapes.hpp"
#include "host/text/timer_format.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::host::html {
namespace {

using namespace ui;

constexpr std::string_view fillsWidth = "fill-w";

// Flex and grid keywords; start and end follow the direction in force, as leading and
// trailing do.
std::string_view flexPosition(HorizontalAlignment a) {
  switch (a) {
    case HorizontalAlignment::leading:
      return "flex-start";
    case HorizontalAlignment::center:
      return "center";
    case HorizontalAlignment::trailing:
      return "flex-end";
  }
  return "center";
}
std::string_view flexPosition(VerticalAlignment a) {
  switch (a) {
    case VerticalAlignment::top:
      return "flex-start";
    case VerticalAlignment::center:
      return "center";
    case VerticalAlignment::bottom:
      return "flex-end";
  }
  return "center";
}
std::string_view gridPosition(HorizontalAlignment a) {
  switch (a) {
    case HorizontalAlignment::leading:
      return "start";
    case HorizontalAlignment::center:
      return "center";
    case HorizontalAlignment::trailing:
      return "end";
  }
  return "center";
}
std::string_view gridPosition(VerticalAlignment a) {
  switch (a) {
    case VerticalAlignment::top:
      return "start";
    case VerticalAlignment::center:
      return "center";
    case VerticalAlignment::bottom:
      return "end";
  }
  return "center";
}

std::string_view dirAttribute(LayoutDirection direction) {
  switch (direction) {
    case LayoutDirection::leftToRight:
      return "ltr";
    case LayoutDirection::rightToLeft:
      return "rtl";
  }
  return "ltr";
}

// Texts set their own base direction from their letters (so an English title keeps its full
// stop at the end under right-to-left), while their lines align by the environment's direction.
std::string lineAlignment(const ViewContext& context) {
  const bool rtl = context.direction == LayoutDirection::rightToLeft;
  switch (context.textAlignment) {
    case TextAlignment::leading:
      return rtl ? "right" : "left";
    case TextAlignment::center:
      return "center";
    case TextAlignment::trailing:
      return rtl ? "left" : "right";
  }
  return "left";
}

bool anyFillsWidth(const std::vector<Element>& elements) {
  return std::any_of(elements.begin(), elements.end(),
                     [](const Element& e) { return e.hasClass(fillsWidth); });
}

// A vector of one element, moved in: a braced list would copy the element's whole subtree.
std::vector<Element> single(Element e) {
  std::vector<Element> out;
  out.push_back(std::move(e));
  return out;
}

void append(std::vector<Element>& to, std::vector<Element> more) {
  for (auto& e : more) to.push_back(std::move(e));
}

// The environment in force for modifiers from index `from` outwards: the innermost value set
// there wins over what the views around bring.
ViewContext environmentFrom(const View& view, std::size_t from, ViewContext context) {
  bool direction = false;
  bool alignment = false;
  for (std::size_t i = from; i < view.modifiers.size(); ++i) {
    const auto& m = view.modifiers[i];
    if (const auto* d = std::get_if<LayoutDirectionModifier>(&m); d && !direction) {
      context.direction = d->value;
      direction = true;
    } else if (const auto* a = std::get_if<MultilineTextAlignment>(&m); a && !alignment) {
      context.textAlignment = a->alignment;
      alignment = true;
    }
  }
  return context;
}

// The size offered to a view's content, worked from the outermost modifier inwards.
ViewContext offeredSize(const View& view, ViewContext context) {
  for (auto it = view.modifiers.rbegin(); it != view.modifiers.rend(); ++it) {
    if (const auto* f = std::get_if<Frame>(&*it)) {
      context.width = f->width;
      context.height = f->height;
    } else if (const auto* p = std::get_if<Padding>(&*it)) {
      const double across =
          ((p->edges & leading) ? p->length : 0) + ((p->edges & trailing) ? p->length : 0);
      const double down =
          ((p->edges & top) ? p->length : 0) + ((p->edges & bottom) ? p->length : 0);
      if (context.width) context.width = std::max(0.0, *context.width - across);
      if (context.height) context.height = std::max(0.0, *context.height - down);
    } else if (const auto* flex = std::get_if<FlexFrame>(&*it)) {
      if (context.width) context.width = std::min(*context.width, flex->maxWidth);
    }
  }
  return context;
}

ViewContext withoutSize(ViewContext context) {
  context.width.reset();
  context.height.reset();
  return context;
}

Element wrapper(Element inner, std::vector<std::string> classes) {
  Element outer = element("div", std::move(classes));
  if (inner.hasClass(fillsWidth)) outer.classes.emplace_back(fillsWidth);
  outer.children.push_back(std::move(inner));
  return outer;
}

Element textElement(std::string content, const ViewContext& context) {
  Element e = element("span", {"text"});
  e.text = std::move(content);
  e.setAttribute("dir", "auto");
  e.setStyle("text-align", lineAlignment(context));
  return e;
}

Element timerElement(const TimerText& timer, const ViewContext& context) {
  Element e = textElement(timerTextAt(timer, context.now), context);
  e.classes.emplace_back("timer");
  e.setAttribute("data-lower", number(timer.lower));
  e.setAttribute("data-upper", number(timer.upper));
  e.setAttribute("data-counts-down", timer.countsDown ? "true" : "false");
  e.setAttribute("data-shows-hours", timer.showsHours ? "true" : "false");
  if (timer.pauseTime) e.setAttribute("data-pause-time", number(*timer.pauseTime));
  return e;
}

Element symbolElement(const Image& image) {
  Element e = element("span", {"symbol"});
  e.setAttribute("role", "img");
  e.setAttribute("aria-label", std::string(image.systemName));
  e.setAttribute("data-symbol", std::string(image.systemName));
  Element svg = element("svg");
  svg.setAttribute("viewBox", "0 0 14 18");
  svg.setAttribute("aria-hidden", "true");
  if (image.systemName == "lock.fill") {
    Element shackle = element("path");
    shackle.setAttribute("d", "M3.6 8V5.4a3.4 3.4 0 0 1 6.8 0V8");
    shackle.setAttribute("fill", "none");
    shackle.setAttribute("stroke", "currentColor");
    shackle.setAttribute("stroke-width", "2");
    Element body = element("rect");
    for (const auto& [name, value] : {std::pair{"x", "1"},
                                      {"y", "7.5"},
                                      {"width", "12"},
                                      {"height", "10"},
                                      {"rx", "2.2"},
                                      {"fill", "currentColor"}}) {
      body.setAttribute(name, value);
    }
    svg.children.push_back(std::move(shackle));
    svg.children.push_back(std::move(body));
  } else {
    // A symbol this preview has no drawing for: an outlined box in its place.
    Element box = element("rect");
    for (const auto& [name, value] : {std::pair{"x", "1.5"},
                                      {"y", "3.5"},
                                      {"width", "11"},
                                      {"height", "11"},
                                      {"rx", "2"},
                                      {"fill", "none"},
                                      {"stroke", "currentColor"},
                                      {"stroke-width", "1.5"}}) {
      box.setAttribute(name, value);
    }
    svg.children.push_back(std::move(box));
  }
  e.children.push_back(std::move(svg));
  return e;
}

Element stackElement(std::string_view kind, std::vector<Element> children) {
  Element e = element("div", {std::string(kind)});
  if (anyFillsWidth(children)) e.classes.emplace_back(fillsWidth);
  e.children = std::move(children);
  return e;
}

std::vector<Element> renderChildren(const Views& views, const ViewContext& context) {
  std::vector<Element> out;
  for (const auto& child : views) append(out, renderView(child, context));
  return out;
}

std::vector<Element> renderKind(const View& view, const ViewContext& context, std::size_t& next) {
  return std::visit(
      [&](const auto& k) -> std::vector<Element> {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, HStack>) {
          Element e = stackElement("hstack", renderChildren(k.children, withoutSize(context)));
          e.setStyle("align-items", std::string(flexPosition(k.alignment)));
          if (k.spacing > 0) e.setStyle("gap", px(k.spacing));
          return single(std::move(e));
        } else if constexpr (std::is_same_v<K, VStack>) {
          Element e = stackElement("vstack", renderChildren(k.children, withoutSize(context)));
          e.setStyle("align-items", std::string(flexPosition(k.alignment)));
          if (k.spacing > 0) e.setStyle("gap", px(k.spacing));
          return single(std::move(e));
        } else if constexpr (std::is_same_v<K, ZStack>) {
          // Every layer gets the size the stack is offered.
          Element e = stackElement("zstack", renderChildren(k.children, context));
          e.setStyle("justify-items", std::string(gridPosition(k.alignment.horizontal)));
          e.setStyle("align-items", std::string(gridPosition(k.alignment.vertical)));
          return single(std::move(e));
        } else if constexpr (std::is_same_v<K, Text>) {
          return single(textElement(std::string(k.text), context));
        } else if constexpr (std::is_same_v<K, TimerText>) {
          return single(timerElement(k, context));
        } else if constexpr (std::is_same_v<K, Image>) {
          return single(symbolElement(k));
        } else if constexpr (std::is_same_v<K, Circle>) {
          return single(circleElement(view, context, next));
        } else if constexpr (std::is_same_v<K, Capsule>) {
          return single(capsuleElement(view, context, next));
        } else if constexpr (std::is_same_v<K, EmptyView>) {
          return {};
        } else if constexpr (std::is_same_v<K, ForEach>) {
          return renderChildren(k.children, context);
        } else {
          static_assert(std::is_same_v<K, Link>);
          Element a = element("a", {"link", "box"});
          if (isDeepLink(k.destination)) a.setAttribute("href", std::string(k.destination));
          a.setAttribute("data-testid", "action-link");
          a.children = renderView(*k.label, withoutSize(context));
          if (anyFillsWidth(a.children)) a.classes.emplace_back(fillsWidth);
          return single(std::move(a));
        }
      },
      view.kind);
}

Element applyModifier(Element e, const Modifier& modifier, const ViewContext& context) {
  return std::visit(
      [&](const auto& m) -> Element {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, Padding>) {
          Element w = wrapper(std::move(e), {"box"});
          if (m.edges & top) w.setStyle("padding-top", px(m.length));
          if (m.edges & leading) w.setStyle("padding-inline-start", px(m.length));
          if (m.edges & bottom) w.setStyle("padding-bottom", px(m.length));
          if (m.edges & trailing) w.setStyle("padding-inline-end", px(m.length));
          return w;
        } else if constexpr (std::is_same_v<M, Frame>) {
          Element w = element("div", {"frame"});
          w.children.push_back(std::move(e));
          w.setStyle("width", px(m.width));
          w.setStyle("height", px(m.height));
          w.setStyle("justify-content", std::string(flexPosition(m.alignment.horizontal)));
          w.setStyle("align-items", std::string(flexPosition(m.alignment.vertical)));
          return w;
        } else if constexpr (std::is_same_v<M, FlexFrame>) {
          Element w = wrapper(std::move(e), {"flex-frame"});
          if (std::isinf(m.maxWidth) && m.maxWidth > 0) {
            if (!w.hasClass(fillsWidth)) w.classes.emplace_back(fillsWidth);
          } else {
            w.setStyle("max-width", px(m.maxWidth));
          }
          w.setStyle("justify-content", std::string(flexPosition(m.alignment.horizontal)));
          w.setStyle("align-items", std::string(flexPosition(m.alignment.vertical)));
          return w;
        } else if constexpr (std::is_same_v<M, FontModifier>) {
          // A font set closer to the text wins; this one reaches only what sets none.
          if (e.styleValue("font-size")) return e;
          const FontMetrics metrics = fontMetrics(m.font);
          e.setStyle("font-size", px(metrics.size));
          e.setStyle("line-height", px(metrics.lineHeight));
          e.setStyle("font-weight", std::to_string(metrics.weight));
          e.setStyle("font-variant-numeric", m.font.monospacedDigit ? "tabular-nums" : "normal");
          return e;
        } else if constexpr (std::is_same_v<M, ForegroundColor>) {
          if (!e.styleValue("color")) e.setStyle("color", cssColor(m.color));
          return e;
        } else if constexpr (std::is_same_v<M, Opacity>) {
          double value = std::clamp(m.value, 0.0, 1.0);
          if (const auto* existing = e.styleValue("opacity")) {
            double inner = 1;
            std::from_chars(existing->data(), existing->data() + existing->size(), inner);
            value *= inner;
          }
          e.setStyle("opacity", number(value));
          return e;
        } else if constexpr (std::is_same_v<M, Background>) {
          Element layer = element("div", {"backdrop"});
          layer.children = renderView(*m.content, withoutSize(context));
          layer.setStyle("justify-content", std::string(flexPosition(m.alignment.horizontal)));
          layer.setStyle("align-items", std::string(flexPosition(m.alignment.vertical)));
          Element w = wrapper(std::move(e), {"box", "backed"});
          w.children.insert(w.children.begin(), std::move(layer));
          return w;
        } else if constexpr (std::is_same_v<M, RotationEffect>) {
          Element target =
              e.styleValue("transform") ? wrapper(std::move(e), {"box"}) : std::move(e);
          target.setStyle("transform", "rotate(" + number(m.degrees) + "deg)");
          target.setStyle("transform-origin",
                          number(m.anchor.x * 100) + "% " + number(m.anchor.y * 100) + "%");
          return target;
        } else if constexpr (std::is_same_v<M, LayoutDirectionModifier>) {
          if (!e.attribute("dir")) {
            e.setAttribute("dir", std::string(dirAttribute(m.value)));
          }
          return e;
        } else if constexpr (std::is_same_v<M, MultilineTextAlignment> || std::is_same_v<M, Fill> ||
                             std::is_same_v<M, Stroke> || std::is_same_v<M, Trim>) {
          // The texts inside already took their line alignment from the environment, and a
          // shape took its fill, stroke and trim when it was drawn; on any other view they
          // draw nothing.
          return e;
        } else {
          // The activity modifiers go to the host's frame (see activityBackgroundTint).
          static_assert(std::is_same_v<M, ActivityBackgroundTint> ||
                        std::is_same_v<M, ActivitySystemActionForegroundColor>);
          return e;
        }
      },
      modifier);
}

template <typename M>
std::optional<Color> findColor(const View& view) {
  for (auto it = view.modifiers.rbegin(); it != view.modifiers.rend(); ++it) {
    if (const auto* m = std::get_if<M>(&*it)) return m->color;
  }
  for (auto it = view.modifiers.rbegin(); it != view.modifiers.rend(); ++it) {
    if (const auto* b = std::get_if<Background>(&*it)) {
      if (auto found = findColor<M>(*b->content)) return found;
    }
  }
  return std::visit(
      [](const auto& k) -> std::optional<Color> {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, Link>) {
          return findColor<M>(*k.label);
        } else if constexpr (std::is_same_v<K, HStack> || std::is_same_v<K, VStack> ||
                             std::is_same_v<K, ZStack> || std::is_same_v<K, ForEach>) {
          for (const auto& child : k.children) {
            if (auto found = findColor<M>(child)) return found;
          }
          return std::nullopt;
        } else {
          static_assert(std::is_same_v<K, Text> || std::is_same_v<K, TimerText> ||
                        std::is_same_v<K, Image> || std::is_same_v<K, Circle> ||
                        std::is_same_v<K, Capsule> || std::is_same_v<K, EmptyView>);
          return std::nullopt;
        }
      },
      view.kind);
}

}  // namespace

std::string px(double value) { return number(std::max(0.0, value)) + "px"; }

std::vector<Element> renderView(const View& view, const ViewContext& context) {
  const ViewContext inner = offeredSize(view, environmentFrom(view, 0, context));
  std::size_t next = 0;
  std::vector<Element> elements = renderKind(view, inner, next);
  for (std::size_t i = next; i < view.modifiers.size(); ++i) {
    const ViewContext here = environmentFrom(view, i + 1, context);
    for (auto& e : elements) e = applyModifier(std::move(e), view.modifiers[i], here);
  }
  return elements;
}

std::string cssColor(const Color& color) {
  auto part = [](double v) { return number(std::clamp(v, 0.0, 1.0)); };
  std::string out =
      "color(srgb " + part(color.red) + " " + part(color.green) + " " + part(color.blue);
  if (color.opacity < 1) out += " / " + part(color.opacity);
  return out + ")";
}

bool isDeepLink(std::string_view destination) { return destination.starts_with("corvlin://"); }

std::optional<Color> activityBackgroundTint(const View& view) {
  return findColor<ActivityBackgroundTint>(view);
}

std::optional<Color> activitySystemActionForegroundColor(const View& view) {
  return findColor<ActivitySystemActionForegroundColor>(view);
}

}  // namespace corvlin::host::html
