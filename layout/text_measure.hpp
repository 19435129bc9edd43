// Measuring whole texts: what a measurer answers for a text, the cache a layout keeps of its
// answers, and the fixed-advance measurer of the layout's own tests. The host's measurer lays
// text out with Pango (host/drawing/fonts.hpp); docs/layout.md describes both.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "layout/geometry.hpp"

namespace corvlin::layout {

// A text's font as it is measured and drawn.
struct TextFont {
  double size = 17;
  int weight = 400;
  bool monospacedDigit = false;
  double lineHeight = 22;  // every line of a text is this tall
  friend bool operator==(const TextFont&, const TextFont&) = default;
};

// One line of a text as it was broken, with its width in points.
struct MeasuredLine {
  std::string text;  // the last line of a truncated text ends in "…"
  double width = 0;
  friend bool operator==(const MeasuredLine&, const MeasuredLine&) = default;
};

// A whole text laid out for a width and a number of lines.
struct MeasuredText {
  std::vector<MeasuredLine> lines;  // the lines shown, at most the number asked for
  Size size;                        // the widest line, and a line height per line shown
  bool truncated = false;           // the text needs more lines than it was given
  std::size_t lineCount = 0;        // the lines the whole text needs at this width
  std::size_t unknownGlyphs = 0;    // characters no font of the measurer draws
  friend bool operator==(const MeasuredText&, const MeasuredText&) = default;
};

// Lays out a whole text: `width` absent breaks lines only at newlines; `maxLines` absent gives
// the text every line it needs. A text that needs more than `maxLines` keeps the lines that fit
// and ends the last one with "…"; given 0 lines it shows none. The cost must stay linear in the
// text, whatever its words.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual MeasuredText measure(std::string_view text, const TextFont& font,
                               std::optional<double> width,
                               std::optional<std::size_t> maxLines) = 0;
};

// Keeps every answer of another measurer by text, font, width and lines, for the length of one
// layout: a stack asks for a text's size several times.
class CachedMeasurer final : public TextMeasurer {
 public:
  explicit CachedMeasurer(TextMeasurer& inner) : inner_(inner) {}
  MeasuredText measure(std::string_view text, const TextFont& font, std::optional<double> width,
                       std::optional<std::size_t> maxLines) override;

 private:
  using Key = std::tuple<std::string, double, int, bool, double, bool, double, bool, std::size_t>;
  TextMeasurer& inner_;
  std::map<Key, MeasuredText> kept_;
};

// A text longer than an activity's whole data budget is laid out as its first part, the rest
// counted as cut; and no text is given more lines than this, so that no text makes a layout cost
// more than a bounded amount. A presentation shows at most 12 lines of the smallest style.
inline constexpr std::size_t textBudgetBytes = 4096;
inline constexpr std::size_t maxTextLines = 16;

// A measurer that gives every grapheme cluster the same advance, a fraction of the font's size,
// so that layouts can be worked out by hand (and tested without fonts). Lines break at newlines
// and spaces, and inside a word only when the word alone is wider than the line.
class FixedAdvanceMeasurer final : public TextMeasurer {
 public:
  explicit FixedAdvanceMeasurer(double advancePerPoint = 0.5) : advance_(advancePerPoint) {}
  MeasuredText measure(std::string_view text, const TextFont& font, std::optional<double> width,
                       std::optional<std::size_t> maxLines) override;

 private:
  double advance_;
};

// The byte offsets where the grapheme clusters of `text` start, and its size last.
std::vector<std::size_t> graphemeStarts(std::string_view text);

// The part of a text that is laid out: all of it, or the start of one longer than the data
// budget, cut between grapheme clusters and followed by "…".
struct Budgeted {
  std::string_view text;
  std::string kept;
  bool cut = false;
};
Budgeted withinBudget(std::string_view content);

}  // namespace corvlin::layout
