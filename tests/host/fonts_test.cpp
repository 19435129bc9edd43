// The host's fonts as the layout measures with them: only the files it was given, tabular digits
// when asked, the semibold face, and emoji at the text's size.
#include "host/drawing/fonts.hpp"

#include <gtest/gtest.h>

namespace corvlin::host::drawing {
namespace {

constexpr layout::TextFont regular{17, 400, false};
constexpr layout::TextFont semibold{17, 600, false};
constexpr layout::TextFont tabular{17, 400, true};

TEST(Fonts, OpeningNamesTheFileThatCannotBeLoaded) {
  auto fonts = Fonts::open({"/nonexistent/Inter-Regular.otf"});
  ASSERT_FALSE(fonts);
  EXPECT_NE(fonts.error().find("/nonexistent/Inter-Regular.otf"), std::string::npos);
}

TEST(Fonts, MeasureWithInterAndNotoColorEmoji) {
  auto opened = Fonts::open(defaultFontFiles());
  ASSERT_TRUE(opened) << opened.error();
  Fonts& fonts = *opened.value();
  struct Case {
    const char* name;
    double width;
    double low;
    double high;
  };
  const double ones = fonts.width("1111", tabular);
  const double zeros = fonts.width("0000", tabular);
  const double emoji = fonts.width("\xF0\x9F\x9A\xB2", regular);  // a bicycle
  const Case cases[] = {
      {"tabular digits are all as wide", ones / zeros, 0.999, 1.001},
      {"proportional ones are narrower than zeros",
       fonts.width("1111", regular) / fonts.width("0000", regular), 0.5, 0.95},
      {"semibold is wider than regular",
       fonts.width("Order 42 is on its way", semibold) /
           fonts.width("Order 42 is on its way", regular),
       1.01, 1.2},
      {"an emoji is about as wide as the text is tall, not its bitmap's 109 pixels", emoji / 17,
       0.9, 1.6},
      {"a width measured again is the same",
       fonts.width("Courier is 2 km away", regular) / fonts.width("Courier is 2 km away", regular),
       1, 1},
      {"nothing is nothing wide", fonts.width("", regular), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_GE(c.width, c.low);
    EXPECT_LE(c.width, c.high);
  }
}

}  // namespace
}  // namespace corvlin::host::drawing
