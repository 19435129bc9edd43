// Text lines placed by the text's alignment and the layout direction, with the fixed advance of
// layout_test_support.hpp.
#include <gtest/gtest.h>

#include "layout_test_support.hpp"

namespace corvlin::layout {
namespace {

TEST(Layout, TextLinesAlignByTheTextAlignmentAndDirection) {
  struct AlignCase {
    const char* name;
    TextAlignment alignment;
    LayoutDirection direction;
    double secondLineX;
  };
  // "aaa bbbbb" in 36 points: "aaa" (18) over "bbbbb" (30), the text 30 wide.
  const AlignCase cases[] = {
      {"leading, left to right", TextAlignment::leading, LayoutDirection::leftToRight, 0},
      {"leading, right to left", TextAlignment::leading, LayoutDirection::rightToLeft, 12},
      {"centre", TextAlignment::center, LayoutDirection::leftToRight, 6},
      {"trailing, left to right", TextAlignment::trailing, LayoutDirection::leftToRight, 12},
      {"trailing, right to left", TextAlignment::trailing, LayoutDirection::rightToLeft, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Node root = laidOut(caption("aaa bbbbb")
                                  .with(MultilineTextAlignment{c.alignment})
                                  .with(LayoutDirectionModifier{c.direction}),
                              {36, std::nullopt});
    const Node& leaf = kindOf(root);
    ASSERT_EQ(leaf.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(leaf.lines[0].frame.x, c.secondLineX);
    EXPECT_DOUBLE_EQ(leaf.lines[1].frame.x, 0);
  }
}

}  // namespace
}  // namespace corvlin::layout
