// The layout's warnings from layouts worked out with a fixed advance (half the font's size a
// character): what is cut, by how much, and what the hint names; which texts are truncated,
// named by the field they came from.
#include "host/checks/clipping.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/checks/text_warnings.hpp"

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

std::vector<Warning> warningsOf(const Presentations& p, const ContentState& state = {}) {
  layout::FixedAdvanceMeasurer measurer;
  layout::Options options;
  options.timerText = [](const TimerText&) { return std::string("10:00:00:00"); };
  const auto laidOut = layout::layoutActivity(p, 371, measurer, options);
  return layoutWarnings(laidOut, &state, {std::size_t{3}}, {std::size_t{3}});
}

TEST(Clipping, APresentationLargerThanItsFrameIsOneWarningWithBothSizes) {
  // A headline is 8.5 points a character on 22-point lines; the card offers 339 points inside
  // its padding, 39 characters a line, and 128 points down it.
  const std::string longTitle(100, 'a');  // one word: 3 lines
  ContentState titled;
  titled.title = longTitle;
  struct Case {
    const char* name;
    Presentations views;
    std::vector<std::string> warnings;  // kind and presentation of each
    std::string description;            // of the first warning
    std::string hint;                   // a part of the first warning's hint
  };
  const Case cases[] = {
      {"a lock screen that fits",
       activity(viewList(headline("Order 42"), headline("Soon"))),
       {},
       "",
       ""},
      {"seven one-line texts, each keeping its line: 154 + 32 points",
       activity(viewList(headline("1"), headline("2"), headline("3"), headline("4"), headline("5"),
                         headline("6"), headline("7"))),
       {"clipped lockScreen"},
       "The lock screen's content is 186 pt tall; the phone shows 160 pt and cuts off the rest.",
       "show fewer texts or buttons"},
      {"a long title gives up lines instead of being cut",
       activity(viewList(headline(longTitle), headline("2"), headline("3"), headline("4"),
                         headline("5"))),
       {"truncated lockScreen"},
       "The title, \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\xE2\x80\xA6\", shows 1 of the 3 "
       "lines it "
       "needs on the lock screen; the last ends in \"\xE2\x80\xA6\".",
       "about 38 of its 100 characters show"},
      {"a compact timer past its piece",
       activity(viewList(headline("Order 42")), timerText({0, 1, true, {}, true})
                                                    .with(FontModifier{font(TextStyle::caption2)})
                                                    .with(FlexFrame{44, centered})),
       {"clipped compactTrailing"},
       "The compactTrailing content is 61 pt wide; the phone shows 52 pt and cuts off the rest.",
       "smaller"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Warning> warnings = warningsOf(c.views, titled);
    std::vector<std::string> kinds;
    for (const auto& w : warnings) {
      kinds.push_back(std::string(kindName(w.kind)) + " " + w.presentation);
      const CodingPath expected = w.kind == Warning::Kind::truncated
                                      ? CodingPath{std::size_t{3}, std::string("title")}
                                      : CodingPath{std::size_t{3}};
      EXPECT_EQ(w.codingPath, expected);
    }
    EXPECT_EQ(kinds, c.warnings);
    if (warnings.empty()) continue;
    EXPECT_EQ(warnings.front().description, c.description);
    EXPECT_NE(warnings.front().hint.find(c.hint), std::string::npos) << warnings.front().hint;
  }
}

TEST(Clipping, ATruncatedTextNamesItsFieldAndItsLines) {
  // Every field of the state in a 60-point column, 7 headline characters a line, 128 points
  // high: the label in a link, told apart from the title of the same text by its button's link.
  ContentState state;
  state.title = "Same words here";
  state.body = std::string("Body text here that goes on and on for many lines");
  state.detail = std::string("Short");
  state.actions = std::vector<ActionSpec>{{"skip", "Other", std::nullopt},
                                          {"go", "Same words here", std::nullopt}};
  Presentations p;
  p.lockScreen =
      vstack(
          HorizontalAlignment::leading, 0,
          viewList(headline(state.title), headline(*state.body), headline(*state.detail),
                   link("corvlin://live-activity/action?actionId=go", headline("Same words here"))))
          .with(Frame{60, 128, centered});
  p.dynamicIsland.compactLeading = emptyView();
  p.dynamicIsland.compactTrailing = emptyView();
  p.dynamicIsland.minimal = emptyView();
  layout::FixedAdvanceMeasurer measurer;
  const auto laidOut = layout::layoutActivity(p, 371, measurer, layout::Options{});
  const CodingPath statePath{std::string("aps"), std::string("content-state")};
  std::vector<std::string> found;
  for (const Warning& w : textWarnings(laidOut, &state, statePath)) {
    EXPECT_EQ(w.kind, Warning::Kind::truncated);
    ASSERT_TRUE(w.shownLines && w.lines);
    EXPECT_LT(*w.shownLines, *w.lines);
    found.push_back(describePath(w.codingPath) + " " + std::to_string(*w.shownLines) + "/" +
                    std::to_string(*w.lines));
  }
  // The column's one-line detail goes first (22), the two-line title and label next, the body
  // gets what is left.
  EXPECT_EQ(found,
            (std::vector<std::string>{"aps.content-state.title 1/3", "aps.content-state.body 2/9",
                                      "aps.content-state.actions[1].label 1/3"}));
}

TEST(Clipping, ATextOf40CharactersIsQuotedWholeWithNoEllipsis) {
  // 40 headline characters are 340 points, a point more than the card's line: two lines.
  const std::string forty(40, 'b');
  ContentState state;
  state.title = forty;
  struct Case {
    const char* name;
    Presentations views;
    Warning::Kind kind;  // of the warning that quotes it
    std::string quote;   // in its description or hint
  };
  const Case cases[] = {
      {"the truncated title's description",
       activity(
           viewList(headline(forty), headline("2"), headline("3"), headline("4"), headline("5"))),
       Warning::Kind::truncated, "The title, \"" + forty + "\", shows 1 of the 2 lines"},
      {"the hint of a lock screen too tall for its two-line text",
       activity(viewList(headline(forty).with(Frame{339, 44, centered}),
                         circle().with(Frame{20, 100, centered}))),
       Warning::Kind::clipped,
       "the longest text, \"" + forty + "\" (40 characters), takes 2 lines"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool found = false;
    for (const Warning& w : warningsOf(c.views, state)) {
      if (w.kind != c.kind) continue;
      found = true;
      EXPECT_NE((w.description + " " + w.hint).find(c.quote), std::string::npos)
          << w.description << " " << w.hint;
    }
    EXPECT_TRUE(found);
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
