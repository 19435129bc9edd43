#include "host/html/html_views.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace corvlin::host::html {

using namespace ui;

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

namespace {

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

std::string px(double value) {
  if (!(value > 0) || !std::isfinite(value)) return "0px";
  return number(std::round(value * 1000) / 1000) + "px";
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
