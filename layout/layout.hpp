// The layout of a view tree: every view and every modifier of it gets its frame in points.
//
// Pure: no files, no clock, no environment. Text is measured through a TextMeasurer, so that
// the host measures with its fonts and the tests with a fixed advance per character. The
// algorithm is described in docs/layout.md.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "layout/geometry.hpp"
#include "layout/text_measure.hpp"
#include "layout/text_styles.hpp"
#include "toolkit/view.hpp"

namespace corvlin::layout {

// What a parent offers a child along each axis; absent asks for the child's ideal size.
struct Proposal {
  std::optional<double> width;
  std::optional<double> height;
};

// What a view inherits from the views around it.
struct Environment {
  std::optional<ui::Font> font;
  std::optional<ui::Color> foreground;
  ui::LayoutDirection direction = ui::LayoutDirection::leftToRight;
  ui::TextAlignment textAlignment = ui::TextAlignment::leading;
};

// One line of a text, its box in the coordinates of the presentation.
struct TextLine {
  std::string text;
  Rect frame;
};

// A layer of a view: the view's own kind (modifier null), or one of its modifiers wrapping the
// layers below it. A modifier's children: its inner layer, with a background's content first.
// A stack's children: its views in order, each as its outermost layer.
struct Node {
  const ui::View* view = nullptr;
  const ui::Modifier* modifier = nullptr;
  Rect frame;  // in points, from the presentation's top left
  Environment environment;
  std::vector<Node> children;
  std::vector<TextLine> lines;    // a text's or timer's lines
  bool truncated = false;         // a text that ends in "…" for want of room
  std::size_t lineCount = 0;      // the lines a text needs at its width (more than shown if cut)
  std::size_t unknownGlyphs = 0;  // a text's characters that no font draws
  bool overflows = false;         // its children reach past its frame (a fixed or flexible frame)
};

struct Options {
  // The text a timer shows; the host passes the text of its render instant.
  std::function<std::string(const ui::TimerText&)> timerText;
  Environment environment;  // what the presentation's root inherits
};

// The tree's layout for `proposal`, its root at `origin`. The view must outlive the result.
Node layout(const ui::View& view, Proposal proposal, TextMeasurer& measurer, const Options& options,
            Point origin = {});

// The size the view takes for `proposal`, without placing anything.
Size sizeThatFits(const ui::View& view, Proposal proposal, TextMeasurer& measurer,
                  const Options& options);

}  // namespace corvlin::layout
