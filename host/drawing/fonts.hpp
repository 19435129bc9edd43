// The fonts the host measures, breaks and draws text with: Inter for text, Noto Color Emoji for
// emoji and the Noto families for every other script (font_files.hpp), through a fontconfig
// configuration that sees these files and nothing else, so that a snapshot comes out the same on
// every machine with the same packages.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/drawing/font_files.hpp"
#include "json/result.hpp"
#include "layout/layout.hpp"

using PangoContext = struct _PangoContext;
using PangoLayout = struct _PangoLayout;

namespace corvlin::host::drawing {

// A font configuration of the project's own and a Pango context on it. Opening one scans the
// first group of font files and checks that the others are there; a later group is scanned the
// first time a text needs it (see docs/layout.md for what that costs). The caller keeps it for
// every activity.
//
// As a measurer it lays a whole text out with Pango (pango_measure.cpp): one shaping pass of the
// text gives every character's advance, which counts the lines it needs; Pango then breaks, with
// the proposed width and the lines available, only the start of the text that can show in them,
// and ends the last with "…" when more follows. So a text costs time linear in its length,
// whatever its words. The shaping passes of the last few texts are kept.
class Fonts final : public layout::TextMeasurer {
 public:
  // The fonts, or a message naming the file that could not be loaded.
  static Result<std::unique_ptr<Fonts>, std::string> open(const std::vector<FontGroup>& groups);

  ~Fonts() override;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  layout::MeasuredText measure(std::string_view text, const layout::TextFont& font,
                               std::optional<double> width,
                               std::optional<std::size_t> maxLines) override;

  // The width of `text` on one line, newlines and all.
  double width(std::string_view text, const layout::TextFont& font);

  // A one-line layout of `text` in `font` on this configuration; the caller unrefs it.
  PangoLayout* lineLayout(std::string_view text, const layout::TextFont& font);
  PangoContext* context() { return context_; }

  // Opens the groups of font files that `text` needs, in order, until every character it holds
  // is drawn or none is left. Every layout made here has done so first.
  void cover(std::string_view text);
  std::size_t groupsOpen() const;

  // A layout of `text` in `font`, in paragraphs and unwrapped until told otherwise; the caller
  // unrefs it.
  PangoLayout* textLayout(std::string_view text, const layout::TextFont& font);

  struct Shaped;  // one text's shaping pass (pango_measure.cpp)

 private:
  struct Handles;
  explicit Fonts(std::unique_ptr<Handles> handles, PangoContext* context);
  const Shaped& shaped(std::string_view text, const layout::TextFont& font);

  std::unique_ptr<Handles> handles_;
  PangoContext* context_ = nullptr;
  // The last few shaping passes, newest last: a layout asks for a text at several widths.
  static constexpr std::size_t shapedKept = 16;
  std::vector<std::unique_ptr<Shaped>> shaped_;
};

}  // namespace corvlin::host::drawing
