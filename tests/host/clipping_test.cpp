// Clipping warnings from layouts worked out with a fixed advance (half the font's size a
// character): what is cut, by how much, and what the hint names.
#include "host/checks/clipping.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvlin::host {
namespace {

using namespace corvlin::ui;

View headline(std::string_view s) { return text(s).with(FontModifier{font(TextStyle::headline)}); }

// A lock screen of `rows` under one another, on a 371-point card; the island holds `trailing`
// in its compact trailing piece.
Presentations activity(Views rows, View trailing = emptyView()) {
  Presentations p;
  p.lockScreen =
      vstack(HorizontalAlignment::leading, 0, std::move(rows)).with(Padding{allEdges, 16});
  p.dynamicIsland.compactLeading = emptyView();
  p.dynamicIsland.compactTrailing = std::move(trailing);
  p.dynamicIsland.minimal = circle().with(Frame{8, 8, centered});
  return p;
}

std::vector<Warning> warningsOf(const Presentations& p) {
  layout::FixedAdvanceMeasurer measurer;
  layout::Options options;
  options.timerText = [](const TimerText&) { return std::string("10:00:00:00"); };
  const auto laidOut = layout::layoutActivity(p, 371, measurer, options);
  return clippingWarnings(laidOut, {std::size_t{3}});
}

TEST(Clipping, APresentationLargerThanItsFrameIsOneWarningWithBothSizes) {
  // A headline is 8.5 points a character on 22-point lines; the card offers 339 points inside
  // its padding, 39 characters a line.
  const std::string longTitle(100, 'a');  // one word: 3 lines
  struct Case {
    const char* name;
    Presentations views;
    std::vector<std::string> presentations;
    std::string description;  // of the first warning
    std::string hint;         // a part of the first warning's hint
  };
  const Case cases[] = {
      {"a lock screen that fits",
       activity(viewList(headline("Order 42"), headline("Soon"))),
       {},
       "",
       ""},
      {"seven lines: 154 + 32 points",
       activity(viewList(headline("1"), headline("2"), headline("3"), headline("4"), headline("5"),
                         headline("6"), headline("7"))),
       {"lockScreen"},
       "The lock screen's content is 186 pt tall; the phone shows 160 pt and cuts off the rest.",
       "show fewer texts or buttons"},
      {"a long title that wraps",
       activity(viewList(headline(longTitle), headline("2"), headline("3"), headline("4"),
                         headline("5"))),
       {"lockScreen"},
       "The lock screen's content is 186 pt tall; the phone shows 160 pt and cuts off the rest.",
       "the longest text, \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\xE2\x80\xA6\" (100 "
       "characters), takes "
       "3 lines"},
      {"a text of 40 characters is quoted whole, with no ellipsis",
       activity(viewList(headline(std::string(40, 'b')), headline("2"), headline("3"),
                         headline("4"), headline("5"), headline("6"), headline("7"))),
       {"lockScreen"},
       "The lock screen's content is 208 pt tall; the phone shows 160 pt and cuts off the rest.",
       "the longest text, \"" + std::string(40, 'b') + "\" (40 characters), takes 2 lines"},
      {"a compact timer past its piece",
       activity(viewList(headline("Order 42")), timerText({0, 1, true, {}, true})
                                                    .with(FontModifier{font(TextStyle::caption2)})
                                                    .with(FlexFrame{44, centered})),
       {"compactTrailing"},
       "The compactTrailing content is 61 pt wide; the phone shows 52 pt and cuts off the rest.",
       "smaller"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Warning> warnings = warningsOf(c.views);
    std::vector<std::string> presentations;
    for (const auto& w : warnings) {
      presentations.push_back(w.presentation);
      EXPECT_EQ(w.kind, Warning::Kind::clipped);
      EXPECT_EQ(w.codingPath, CodingPath{std::size_t{3}});
    }
    EXPECT_EQ(presentations, c.presentations);
    if (warnings.empty()) continue;
    EXPECT_EQ(warnings.front().description, c.description);
    EXPECT_NE(warnings.front().hint.find(c.hint), std::string::npos) << warnings.front().hint;
  }
}

TEST(Clipping, ThePresentationIsWrittenAfterTheCodingPath) {
  const Warning w{Warning::Kind::clipped, {std::size_t{1}}, "cut", "shorten it", "lockScreen"};
  EXPECT_EQ(warningJson(w),
            R"({"warning":{"kind":"clipped","codingPath":[1],"presentation":"lockScreen",)"
            R"("description":"cut","hint":"shorten it"}})");
}

}  // namespace
}  // namespace corvlin::host
