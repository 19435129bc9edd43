// The fonts the host measures and draws text with: Inter for text and Noto Color Emoji for
// emoji, through a fontconfig configuration that sees these files and nothing else, so that a
// snapshot comes out the same on every machine with the same packages.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "json/result.hpp"
#include "layout/layout.hpp"

using PangoContext = struct _PangoContext;
using PangoLayout = struct _PangoLayout;

namespace corvlin::host::drawing {

// The font files, in the order fontconfig falls back through them.
std::vector<std::string> defaultFontFiles();

// A font configuration of the project's own and a Pango context on it. Opening one scans the
// font files (see docs/layout.md for what that costs); the caller keeps it for every activity.
// Widths measured are kept (the last few thousand), so that a text measured again costs a
// lookup.
class Fonts final : public layout::TextMeasurer {
 public:
  // The fonts, or a message naming the file that could not be loaded.
  static Result<std::unique_ptr<Fonts>, std::string> open(const std::vector<std::string>& files);

  ~Fonts() override;
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  double width(std::string_view text, const layout::TextFont& font) override;

  // A one-line layout of `text` in `font` on this configuration; the caller unrefs it.
  PangoLayout* lineLayout(std::string_view text, const layout::TextFont& font);
  PangoContext* context() { return context_; }

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
