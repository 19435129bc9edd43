// The layout of a view tree: every view and every modifier of it gets its frame in points.
//
// Pure: no files, no clock, no environment. Text is measured through a TextMeasurer, so that
// the host measures with its fonts and the tests with a fixed advance per character. The
// algorithm is described in docs/layout.md.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "layout/text_styles.hpp"
#include "toolkit/view.hpp"

namespace corvlin::layout {

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// What a parent offers a child along each axis; absent asks for the child's ideal size.
struct Proposal {
  std::optional<double> width;
  std::optional<double> height;
};

// A text's font as it is measured and drawn.
struct TextFont {
  double size = 17;
  int weight = 400;
  bool monospacedDigit = false;
  friend bool operator==(const TextFont&, const TextFont&) = default;
};

// Measures a run of text on one line, in points.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual double width(std::string_view text, const TextFont& font) = 0;
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
  std::vector<TextLine> lines;  // a text's or timer's lines
  bool truncated = false;       // a text that ends in "…" for want of room
  bool overflows = false;       // its children reach past its frame (a fixed or flexible frame)
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

// A measurer that gives every code point the same advance, a fraction of the font's size, so that
// layouts can be worked out by hand (and tested without fonts).
class FixedAdvanceMeasurer final : public TextMeasurer {
 public:
  explicit FixedAdvanceMeasurer(double advancePerPoint = 0.5) : advance_(advancePerPoint) {}
  double width(std::string_view text, const TextFont& font) override;

 private:
  double advance_;
};

}  // namespace corvlin::layout
