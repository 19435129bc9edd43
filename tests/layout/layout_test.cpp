// The layout's rules, worked out by hand with a fixed advance of half the font's size per
// character: a caption (12 points on 16) is 6 points a character, a headline (17 on 22) 8.5.
#include "layout/layout.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "layout_test_support.hpp"

namespace corvlin::layout {
namespace {

struct Case {
  const char* name;
  View view;
  Proposal proposal;
  Size size;                   // the root's
  std::vector<Rect> children;  // the frames of the root stack's children (outermost layers)
};

void check(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Node root = laidOut(c.view, c.proposal);
    EXPECT_EQ((Size{root.frame.width, root.frame.height}), c.size);
    std::vector<Rect> frames = childFrames(root);
    ASSERT_EQ(frames.size(), c.children.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_DOUBLE_EQ(frames[i].x, c.children[i].x);
      EXPECT_DOUBLE_EQ(frames[i].y, c.children[i].y);
      EXPECT_DOUBLE_EQ(frames[i].width, c.children[i].width);
      EXPECT_DOUBLE_EQ(frames[i].height, c.children[i].height);
    }
  }
}

TEST(Layout, StacksPlaceChildrenWithSpacingAndLeaveOutEmptyViews) {
  check({
      {"a row with spacing between neighbours",
       hstack(VerticalAlignment::center, 8, viewList(caption("ab"), caption("cde"))),
       {200, 100},
       {38, 16},
       {{0, 0, 12, 16}, {20, 0, 18, 16}}},
      {"an empty view takes no place and no spacing, whatever its modifiers",
       vstack(HorizontalAlignment::leading, 4,
              viewList(caption("ab"), emptyView().with(Padding{top, 4}), caption("cdef"))),
       {200, std::nullopt},
       {24, 36},
       {{0, 0, 12, 16}, {0, 20, 24, 16}}},
      {"a column aligns its children across it",
       vstack(HorizontalAlignment::trailing, 0, viewList(caption("ab"), caption("cdef"))),
       {200, std::nullopt},
       {24, 32},
       {{12, 0, 12, 16}, {0, 16, 24, 16}}},
      {"a row centres shorter children vertically",
       hstack(VerticalAlignment::center, 0,
              viewList(caption("ab"), circle().with(Frame{20, 30, centered}))),
       {200, 100},
       {32, 30},
       {{0, 7, 12, 16}, {12, 0, 20, 30}}},
      {"a list's children are spliced into the row, its modifiers around each",
       hstack(VerticalAlignment::top, 8,
              viewList(forEach(viewList(caption("ab"), caption("c"))).with(Padding{allEdges, 2}))),
       {200, 100},
       {16 + 8 + 10, 20},
       {{0, 0, 16, 20}, {24, 0, 10, 20}}},
  });
}

TEST(Layout, RightToLeftMirrorsOrderLeadingAndPadding) {
  const View row = hstack(VerticalAlignment::top, 8, viewList(caption("ab"), caption("cde")));
  check({
      {"left to right, the first child at the left",
       row.with(Frame{100, 16, {HorizontalAlignment::leading, VerticalAlignment::top}}),
       {400, 400},
       {100, 16},
       {{0, 0, 12, 16}, {20, 0, 18, 16}}},
      {"right to left, leading is the right edge",
       row.with(Frame{100, 16, {HorizontalAlignment::leading, VerticalAlignment::top}})
           .with(LayoutDirectionModifier{LayoutDirection::rightToLeft}),
       {400, 400},
       {100, 16},
       {{88, 0, 12, 16}, {62, 0, 18, 16}}},
      {"right to left, the row's first child at the right",
       row.with(LayoutDirectionModifier{LayoutDirection::rightToLeft}),
       {400, 400},
       {38, 16},
       {{26, 0, 12, 16}, {0, 0, 18, 16}}},
      {"right to left, a ZStack's leading child stands at its right edge",
       zstack({HorizontalAlignment::leading, VerticalAlignment::top},
              viewList(circle().with(Frame{100, 20, centered}), caption("ab")))
           .with(LayoutDirectionModifier{LayoutDirection::rightToLeft}),
       {400, 400},
       {100, 20},
       {{0, 0, 100, 20}, {88, 0, 12, 16}}},
      {"right to left, leading padding on the right",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("ab").with(Padding{leading, 10}), caption("cdef")))
           .with(LayoutDirectionModifier{LayoutDirection::rightToLeft}),
       {400, std::nullopt},
       {24, 32},
       {{2, 0, 22, 16}, {0, 16, 24, 16}}},
  });
}

TEST(Layout, FixedAndFlexibleFramesProposeAndReportAsTheToolkitDoes) {
  check({
      {"a fixed frame gives its shape exactly its size",
       zstack(centered, viewList(circle().with(Frame{58, 58, centered}), caption("1:30"))),
       {300, 300},
       {58, 58},
       {{0, 0, 58, 58}, {17, 21, 24, 16}}},
      {"an infinite flexible frame takes all the width offered, its content aligned",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("abc").with(FlexFrame{infinity, trailingCentered}))),
       {200, std::nullopt},
       {200, 16},
       {{0, 0, 200, 16}}},
      {"a bounded flexible frame takes the width offered up to its maximum",
       hstack(VerticalAlignment::center, 0,
              viewList(caption("abcd").with(FlexFrame{44, centered}))),
       {100, 100},
       {44, 16},
       {{0, 0, 44, 16}}},
      {"a bounded flexible frame offers its child no more than its maximum: the text wraps",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("aaaa bbbb cccc dddd eeee")
                           .with(FlexFrame{
                               100, {HorizontalAlignment::leading, VerticalAlignment::top}}))),
       {200, std::nullopt},
       {100, 32},
       {{0, 0, 100, 32}}},
      {"the least flexible child is sized first; the flexible one gets what is left",
       hstack(VerticalAlignment::center, 14,
              viewList(caption("abc").with(FlexFrame{infinity, centered}),
                       circle().with(Frame{58, 58, centered}))),
       {200, 100},
       {200, 58},
       {{0, 21, 128, 16}, {142, 0, 58, 58}}},
      {"when every ideal width fits, a child gets its ideal over an equal share",
       hstack(VerticalAlignment::top, 0,
              viewList(hstack(VerticalAlignment::top, 0,
                              viewList(circle().with(Frame{20, 16, centered}), caption("abcd"))),
                       caption("abcdef"))),
       {80, std::nullopt},
       {80, 16},
       {{0, 0, 44, 16}, {44, 0, 36, 16}}},
      {"when they do not, equal shares, least flexible first",
       hstack(VerticalAlignment::top, 0, viewList(caption("abc"), caption("abcdef"))),
       {30, std::nullopt},
       {30, 32},
       {{0, 0, 12, 32}, {12, 0, 18, 32}}},
      {"padding takes its edges from what it offers and adds them to what it reports",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("abcdef ghij").with(Padding{allEdges, 16}))),
       {80, std::nullopt},
       {68, 64},
       {{0, 0, 68, 64}}},
  });
}

TEST(Layout, TextWrapsBetweenWordsAndIsTruncatedWhenItStillDoesNotFit) {
  struct TextCase {
    const char* name;
    std::string text;
    Proposal proposal;
    std::vector<std::string> lines;
    bool truncated;
    std::size_t lineCount;  // the lines the whole text needs
  };
  std::string words;  // 100 words of two letters
  for (int i = 0; i < 100; ++i) words += "ab ";
  const std::vector<TextCase> cases = {
      {"one line when it fits", "aaa bbb ccc", {100, std::nullopt}, {"aaa bbb ccc"}, false, 1},
      {"breaks between words", "aaa bbb ccc", {42, std::nullopt}, {"aaa bbb", "ccc"}, false, 2},
      {"one word a line", "aaa bbb ccc", {30, std::nullopt}, {"aaa", "bbb", "ccc"}, false, 3},
      {"a word wider than the line breaks inside",
       "abcdefghij",
       {30, std::nullopt},
       {"abcde", "fghij"},
       false,
       2},
      {"a long word after a short one starts a line of its own",
       "ab cdefghijkl",
       {30, std::nullopt},
       {"ab", "cdefg", "hijkl"},
       false,
       3},
      {"too many lines for the height: the last ends in an ellipsis",
       "aaa bbb ccc",
       {30, 32},
       {"aaa", "bbb\xE2\x80\xA6"},
       true,
       3},
      {"the last line kept runs on with the rest of its paragraph",
       "aaa bbb ccc",
       {42, 20},
       {"aaa bb\xE2\x80\xA6"},
       true,
       2},
      {"less than a line's height still keeps the first line",
       "aaa bbb",
       {30, 5},
       {"aaa\xE2\x80\xA6"},
       true,
       2},
      {"a last line that ends its paragraph takes the ellipsis after it",
       "ab\ncd\nef",
       {100, 32},
       {"ab", "cd\xE2\x80\xA6"},
       true,
       3},
      {"explicit newlines break even without a width",
       "ab\ncd",
       {std::nullopt, std::nullopt},
       {"ab", "cd"},
       false,
       2},
      {"without a width, a paragraph cut off ends the last line kept",
       "ab cd\nef",
       {std::nullopt, 16},
       {"ab cd\xE2\x80\xA6"},
       true,
       2},
      {"without a height, a text takes at most its bounded number of lines",
       words,
       {12, std::nullopt},
       std::vector<std::string>(maxTextLines - 1, "ab"),
       true,
       100},
      {"an emoji cluster is never split",
       "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x9A\x80x",
       {6, std::nullopt},
       {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x9A\x80", "x"},
       false,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Node root = laidOut(caption(c.text), c.proposal);
    const Node& leaf = kindOf(root);
    std::vector<std::string> lines;
    for (const auto& line : leaf.lines) lines.push_back(line.text);
    if (lines.size() == maxTextLines) {
      // The bounded case: every line but the last, which ends in an ellipsis.
      EXPECT_EQ(lines.back(), "a\xE2\x80\xA6");  // the ellipsis takes the second letter's room
      lines.pop_back();
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(leaf.truncated, c.truncated);
    EXPECT_EQ(leaf.lineCount, c.lineCount);
    EXPECT_DOUBLE_EQ(root.frame.height, 16.0 * static_cast<double>(leaf.lines.size()));
  }
}

TEST(Layout, ATextPastTheDataBudgetIsLaidOutAsItsFirstPartAndCountedAsCut) {
  // 5,000 letters in words of four: the first 4,096 bytes, then "…" where the part ends.
  std::string long_;
  for (int i = 0; i < 1000; ++i) long_ += "abcd ";
  struct BudgetCase {
    const char* name;
    Proposal proposal;
    std::size_t lines;
  };
  const BudgetCase cases[] = {
      {"on one line without a width", {std::nullopt, std::nullopt}, 1},
      {"in lines of a width, bounded", {60, std::nullopt}, maxTextLines},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Node leaf = kindOf(laidOut(caption(long_), c.proposal));
    ASSERT_EQ(leaf.lines.size(), c.lines);
    EXPECT_TRUE(leaf.truncated);
    EXPECT_GT(leaf.lineCount, leaf.lines.size());
    EXPECT_TRUE(leaf.lines.back().text.ends_with("\xE2\x80\xA6"));
    EXPECT_LE(leaf.lines.front().text.size(), textBudgetBytes + 3);
  }
}

TEST(Layout, StacksPassTheHeightDownAndTextsGiveUpLines) {
  check({
      {"a column sizes its one-line text first; the long one gets the rest and is cut",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("aaaa bbbb cccc dddd"), caption("zz"))),
       {30, 48},
       {30, 48},
       {{0, 0, 30, 32}, {0, 32, 12, 16}}},
      {"a column whose texts all fit gives each its lines",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("aaaa bbbb cccc dddd"), caption("zz"))),
       {30, 200},
       {24, 80},
       {{0, 0, 24, 64}, {0, 64, 12, 16}}},
      {"a row proposes its own height to every child",
       hstack(VerticalAlignment::top, 0,
              viewList(caption("aaaa bbbb cccc"), circle().with(Frame{10, 10, centered}))),
       {40, 16},
       {40, 16},
       {{0, 0, 30, 16}, {30, 0, 10, 10}}},
      {"padding takes its edges from the height offered",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("aaaa bbbb").with(Padding{allEdges, 8}))),
       {46, 40},
       {46, 32},
       {{0, 0, 46, 32}}},
      {"a text in a fixed frame gets the frame's lines",
       vstack(HorizontalAlignment::leading, 0,
              viewList(caption("aaaa bbbb cccc").with(Frame{30, 32, centered}))),
       {300, 300},
       {30, 32},
       {{0, 0, 30, 32}}},
  });
  // The long text of the first case keeps what fits and ends in "…".
  const Node root = laidOut(vstack(HorizontalAlignment::leading, 0,
                                   viewList(caption("aaaa bbbb cccc dddd"), caption("zz"))),
                            {30, 48});
  const Node& title = kindOf(kindOf(root).children[0]);
  ASSERT_EQ(title.lines.size(), 2u);
  EXPECT_EQ(title.lines[1].text, "bbbb\xE2\x80\xA6");
  EXPECT_TRUE(title.truncated);
  EXPECT_EQ(title.lineCount, 4u);
}

TEST(Layout, FontsColoursAndDirectionReachEveryViewThatSetsNone) {
  const View column =
      vstack(HorizontalAlignment::leading, 0,
             viewList(text("ab"), caption("ab"), timerText({0, 90, true, {}, true})))
          .with(FontModifier{font(TextStyle::headline)})
          .with(ForegroundColor{white})
          .with(LayoutDirectionModifier{LayoutDirection::rightToLeft});
  const Node root = laidOut(column, {300, std::nullopt});
  const std::vector<Rect> frames = childFrames(root);
  ASSERT_EQ(frames.size(), 3u);
  struct Expect {
    const char* name;
    double width;
    double height;
  };
  const Expect expected[] = {{"the container's headline", 17, 22},
                             {"its own caption wins", 12, 16},
                             {"a timer too, on one line", 34, 22}};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_DOUBLE_EQ(frames[i].width, expected[i].width);
    EXPECT_DOUBLE_EQ(frames[i].height, expected[i].height);
    const Node& leaf = kindOf(kindOf(root).children[i]);
    EXPECT_EQ(leaf.environment.foreground, white);
    EXPECT_EQ(leaf.environment.direction, LayoutDirection::rightToLeft);
  }
  // Right to left, the leading column's children stand at its right edge.
  EXPECT_DOUBLE_EQ(frames[1].x + frames[1].width, root.frame.width);
}

}  // namespace
}  // namespace corvlin::layout
