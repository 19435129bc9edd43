#include "toolkit/shape_style.hpp"

#include <gtest/gtest.h>

namespace corvlin {
namespace {

using namespace ui;

const Color red{1, 0, 0, 1};
const Color blue{0, 0, 1, 1};
const Stroke blueStroke{blue, 1, LineCap::butt, LineJoin::miter, 10, {}, 0};

// The one rule the picture and the page both draw shapes by.
TEST(ShapeStyle, TrimsNarrowWhatIsLeftAndTheFirstFillOrStrokeEndsTheShapesModifiers) {
  struct Case {
    const char* name;
    View view;
    double trimFrom;
    double trimTo;
    bool fill;
    bool stroke;
  };
  const Case cases[] = {
      {"no modifiers", circle(), 0, 1, false, false},
      {"a trim of a trim picks out of what is left", circle().with(Trim{0.5, 1}).with(Trim{0, 0.5}),
       0.5, 0.75, false, false},
      {"a trim's fractions are clamped to 0...1", circle().with(Trim{-1, 2}), 0, 1, false, false},
      {"a fill ends them: a later trim and stroke are not the shape's",
       circle().with(Fill{red}).with(Trim{0, 0.5}).with(blueStroke), 0, 1, true, false},
      {"a stroke after a trim", circle().with(Trim{0, 0.25}).with(blueStroke), 0, 0.25, false,
       true},
      {"any other modifier ends them", circle().with(Opacity{0.5}).with(Fill{red}), 0, 1, false,
       false},
      {"a reversed trim leaves nothing", circle().with(Trim{0.75, 0.25}), 0.75, 0.25, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ShapeStyle style = shapeStyle(c.view);
    EXPECT_DOUBLE_EQ(style.trimFrom, c.trimFrom);
    EXPECT_DOUBLE_EQ(style.trimTo, c.trimTo);
    EXPECT_EQ(style.fill.has_value(), c.fill);
    EXPECT_EQ(style.stroke.has_value(), c.stroke);
    if (c.stroke) {
      EXPECT_EQ(style.stroke->color, blue);
    }
  }
}

}  // namespace
}  // namespace corvlin
