// The layout table tests' helpers: a fixed advance of half the font's size per character, so
// that every frame can be worked out by hand.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.hpp"

namespace corvlin::layout {

using namespace corvlin::ui;

inline constexpr double infinity = std::numeric_limits<double>::infinity();

inline View caption(std::string_view s) {
  return text(s).with(FontModifier{font(TextStyle::caption)});
}

// The layer of a node's own kind, below all its modifiers.
inline const Node& kindOf(const Node& node) {
  const Node* n = &node;
  while (n->modifier && !n->children.empty()) n = &n->children.back();
  return *n;
}

// The kind layers of a stack's children.
inline std::vector<Rect> childFrames(const Node& node) {
  std::vector<Rect> out;
  for (const auto& child : kindOf(node).children) out.push_back(child.frame);
  return out;
}

inline Node laidOut(const View& view, Proposal proposal) {
  FixedAdvanceMeasurer measurer;
  Options options;
  options.timerText = [](const TimerText&) { return std::string("1:30"); };
  return layout(view, proposal, measurer, options);
}

}  // namespace corvlin::layout
