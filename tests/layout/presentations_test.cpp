// The presentations laid out under the sizes the phone proposes, worked out with a fixed
// advance of half the font's size per character: a headline is 8.5 points a character on
// 22-point lines, a caption 6 on 16.
#include "layout/presentations.hpp"

#include <gtest/gtest.h>

#include <string>

namespace corvlin::layout {
namespace {

using namespace corvlin::ui;

View headline(std::string_view s) { return text(s).with(FontModifier{font(TextStyle::headline)}); }
View caption(std::string_view s) { return text(s).with(FontModifier{font(TextStyle::caption)}); }

std::string words(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += i == 0 ? "word" : " word";
  return out;
}

// The first text node of a tree, depth first.
const Node* firstText(const Node& node) {
  if (!node.modifier && node.view && std::holds_alternative<Text>(node.view->kind)) return &node;
  for (const auto& child : node.children) {
    if (const Node* found = firstText(child)) return found;
  }
  return nullptr;
}

Presentations activity(Views lockRows, View bottom) {
  Presentations p;
  p.lockScreen =
      vstack(HorizontalAlignment::leading, 0, std::move(lockRows)).with(Padding{allEdges, 16});
  p.dynamicIsland.expanded.push_back({ExpandedRegionPosition::leading, 0, caption("L")});
  p.dynamicIsland.expanded.push_back({ExpandedRegionPosition::bottom, 0, std::move(bottom)});
  p.dynamicIsland.compactLeading = caption(words(20));
  p.dynamicIsland.compactTrailing = emptyView();
  p.dynamicIsland.minimal = circle().with(Frame{8, 8, centered});
  return p;
}

ActivityLayout laidOut(const Presentations& p, double width) {
  FixedAdvanceMeasurer measurer;
  return layoutActivity(p, width, measurer, Options{});
}

TEST(Presentations, EachIsLaidOutUnderTheSizeThePhoneProposes) {
  struct Case {
    const char* name;
    Presentations views;
    double width;
    Size lockScreen;
    std::size_t titleLines;  // the lock screen's first text
    bool titleTruncated;
    Size expanded;
    std::size_t bottomLines;  // the expanded bottom region's first text
  };
  const Case cases[] = {
      {"short texts take what they need",
       activity(viewList(headline("Order 42"), headline("Soon")), caption("On its way")),
       371,
       {371, 84},
       1,
       false,
       {371, 14 + 37 + 8 + 16 + 20},
       1},
      // 339 points inside the padding: 39 headline characters a line, 8 words; 128 points
      // high, of which "Soon" takes 22 first and the title the 106 left: 4 of its 8 lines.
      {"a long title gives up lines to the card's 160 points and ends in an ellipsis",
       activity(viewList(headline(words(60)), headline("Soon")), caption("On its way")),
       371,
       {371, 22 * 4 + 22 + 32},
       4,
       true,
       {371, 14 + 37 + 8 + 16 + 20},
       1},
      // The bottom region has 160 - 14 - 8 - 20 = 118 points less the 37 of the top row: 81,
      // five caption lines.
      {"the expanded island's bottom region gets the height its top row leaves",
       activity(viewList(headline("Order 42")), caption(words(200))),
       371,
       {371, 84},
       1,
       false,
       {371, 14 + 37 + 8 + 80 + 20},
       5},
      // 408 - 44 = 364 points: 60 caption characters a line, 12 words, where 371 holds 54 (10).
      {"the larger phone widens the lock screen and the expanded island",
       activity(viewList(headline("Order 42")), caption(words(12))),
       408,
       {408, 84},
       1,
       false,
       {408, 14 + 37 + 8 + 16 + 20},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ActivityLayout a = laidOut(c.views, c.width);
    EXPECT_EQ(a.lockScreen.size, c.lockScreen);
    EXPECT_LE(a.lockScreen.content.height, 160);
    const Node* title = firstText(a.lockScreen.regions.front().content);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->lines.size(), c.titleLines);
    EXPECT_EQ(title->truncated, c.titleTruncated);
    if (c.titleTruncated) {
      EXPECT_GT(title->lineCount, title->lines.size());
      EXPECT_TRUE(title->lines.back().text.ends_with("\xE2\x80\xA6"));
    }
    EXPECT_EQ(a.expanded.size, c.expanded);
    const Node* bottom = firstText(a.expanded.regions.back().content);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->lines.size(), c.bottomLines);
    EXPECT_LE(a.expanded.content.height, 160);
  }
}

TEST(Presentations, CompactAndMinimalPiecesAreProposedTheirOwnSize) {
  // The laid-out nodes point into the views, which must outlive them.
  const Presentations views = activity(viewList(headline("x")), caption("y"));
  const ActivityLayout a = laidOut(views, 371);
  // Twenty words in a 52 x 37 piece: a word a line (eight characters fit), two lines shown.
  const Node* leading = firstText(a.compact.regions.front().content);
  ASSERT_NE(leading, nullptr);
  EXPECT_EQ(leading->lines.size(), 2u);
  EXPECT_TRUE(leading->truncated);
  EXPECT_EQ(a.compact.size, (Size{2 * compactPieceWidth + cameraWidth, compactHeight}));
  EXPECT_LE(a.compact.content.height, compactHeight);
  EXPECT_EQ(a.minimal.size, (Size{minimalDiameter, minimalDiameter}));
}

}  // namespace
}  // namespace corvlin::layout
