// What Cairo draws for a view description, read back from the PNG: a trimmed and turned arc runs
// clockwise from the top, fills and opacity give their colours, the island stays black around.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string_view>

#include "host/drawing/draw.hpp"
#include "host/drawing/png_diff.hpp"

namespace corvlin::host::drawing {
namespace {

using namespace corvlin::ui;

constexpr Color red{1, 0, 0, 1};

// The red, green, blue and alpha of a pixel of a PNG that must be readable there.
std::array<int, 4> pixelAt(const std::string& png, int x, int y) {
  const auto pixel = corvlin::host::drawing::pixelAt(png, x, y);
  EXPECT_TRUE(pixel.has_value()) << "no pixel at " << x << ", " << y;
  return pixel.value_or(std::array<int, 4>{-1, -1, -1, -1});
}

TEST(Drawing, ShapesTrimsTurnsFillsAndOpacityAsThePhoneDrawsThem) {
  struct Case {
    const char* name;
    View view;  // the minimal presentation, a 37-point circle
    int x;
    int y;
    std::array<int, 4> expected;
  };
  // A ring of radius 15 round the centre (18.5, 18.5): a quarter trimmed, then turned back a
  // quarter, runs from twelve o'clock to three.
  auto arc = [] {
    return circle()
        .with(Trim{0, 0.25})
        .with(Stroke{red, 6, LineCap::butt, LineJoin::miter, 10, {}, 0})
        .with(RotationEffect{-90, {0.5, 0.5}})
        .with(Frame{30, 30, centered});
  };
  const Case cases[] = {
      {"the arc is drawn at half past one", arc(), 29, 8, {255, 0, 0, 255}},
      {"and not at half past seven", arc(), 8, 29, {0, 0, 0, 255}},
      {"nor at half past four", arc(), 29, 29, {0, 0, 0, 255}},
      {"a fill",
       circle().with(Fill{{0, 1, 0, 1}}).with(Frame{20, 20, centered}),
       18,
       18,
       {0, 255, 0, 255}},
      {"a shape with no fill takes the foreground colour",
       circle().with(Frame{20, 20, centered}).with(ForegroundColor{red}),
       18,
       18,
       {255, 0, 0, 255}},
      {"opacity halves the shape over the black island",
       circle().with(Fill{white}).with(Opacity{0.5}).with(Frame{20, 20, centered}),
       18,
       18,
       {128, 128, 128, 255}},
      {"outside the minimal circle nothing is drawn",
       circle().with(Fill{white}),
       1,
       1,
       {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Presentations views;
    views.dynamicIsland.minimal = c.view;
    layout::FixedAdvanceMeasurer measurer;
    const layout::Presentation minimal =
        layoutPresentation(views, layout::Which::minimal, 371, measurer, layout::Options{});
    auto fonts = Fonts::open(defaultFontFiles());
    ASSERT_TRUE(fonts) << fonts.error();
    auto picture = drawPresentation(minimal, layout::Which::minimal, 1, *fonts.value());
    ASSERT_TRUE(picture) << picture.error();
    const auto got = pixelAt(picture.value().png, c.x, c.y);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(got[i], c.expected[i], 3) << i;
  }
}

}  // namespace
}  // namespace corvlin::host::drawing
