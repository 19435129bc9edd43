// The fonts the host measures and draws text with: Inter for text, Noto Color Emoji for emoji and
// the Noto families for every other script (font_files.hpp), through a fontconfig configuration
// that sees these files and nothing else, so that a snapshot comes out the same on every machine
// with the same packages.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
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
// Widths measured are kept (the last few thousand), so that a text measured again costs a
// lookup.
class Fonts final : public layout::TextMeasurer {
 public:
  // The fonts, or a message naming the file that could not be loaded.
  static Result<std::unique_ptr<Fonts>, std::string> open(const std::vector<FontGroup>& groups);

  ~Fonts() override;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  double width(std::string_view text, const layout::TextFont& font) override;

  // A one-line layout of `text` in `font` on this configuration; the caller unrefs it.
  PangoLayout* lineLayout(std::string_view text, const layout::TextFont& font);
  PangoContext* context() { return context_; }

  // Opens the groups of font files that `text` needs, in order, until every character it holds
  // is drawn or none is left.
  void cover(std::string_view text);
  std::size_t groupsOpen() const;

 private:
  struct Handles;
  explicit Fonts(std::unique_ptr<Handles> handles, PangoContext* context);

  std::unique_ptr<Handles> handles_;
  PangoContext* context_ = nullptr;
  // Bounded: a server measures every text its activities show, and titles that count change.
  static constexpr std::size_t widthsKept = 4096;
  std::map<std::tuple<std::string, double, int, bool>, double> widths_;
};

}  // namespace corvlin::host::drawing
