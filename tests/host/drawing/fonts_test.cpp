// The host's fonts as the layout measures with them: only the files it was given, opened a group
// at a time as texts need them, tabular digits when asked, the semibold face, and emoji at the
// text's size.
#include "host/drawing/fonts.hpp"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <string>
#include <vector>

namespace corvlin::host::drawing {
namespace {

constexpr layout::TextFont regular{17, 400, false};
constexpr layout::TextFont semibold{17, 600, false};
constexpr layout::TextFont tabular{17, 400, true};

TEST(Fonts, OpeningNamesTheFileThatCannotBeLoaded) {
  const std::string inter = defaultFontFiles()[0][0].path;
  const std::string missing = "/nonexistent/NotoSansThai-Regular.ttf";
  const std::string notAFont = CORVLIN_TEST_DATA "/snapshots/default.json";
  struct Case {
    const char* name;
    std::vector<FontGroup> groups;
    std::string message;
  };
  const Case cases[] = {
      {"a file of the first group", {{{missing, {}}}}, "cannot find the font " + missing},
      {"a file of a later group, though it is not scanned yet",
       {{{inter, {}}}, {{missing, {}}}},
       "cannot find the font " + missing},
      {"a file that is no font", {{{notAFont, {}}}}, "cannot load the font " + notAFont},
      {"no files", {}, "no font files given"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto fonts = Fonts::open(c.groups);
    ASSERT_FALSE(fonts);
    EXPECT_EQ(fonts.error().find(c.message), 0u) << fonts.error();
  }
}

// The width Pango gives `text` now, past the measurer's store of widths.
double laidOutWidth(Fonts& fonts, std::string_view text) {
  PangoLayout* layout = fonts.lineLayout(text, regular);
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

TEST(Fonts, ALaterGroupOpensOnlyForATextThatNeedsItAndChangesNoEarlierText) {
  auto opened = Fonts::open(defaultFontFiles());
  ASSERT_TRUE(opened) << opened.error();
  Fonts& fonts = *opened.value();
  // Text that Inter and the emoji font draw, and a smiley that Inter lacks; measured again once
  // every group is open, it is as wide.
  const std::string latin =
      "Order 42 \xE2\x98\xBA \xE2\x9D\xA4\xEF\xB8\x8F \xF0\x9F\x9A\xB2\n\xE2\x80\x8D";
  const double before = laidOutWidth(fonts, latin);
  struct Step {
    const char* name;
    std::string text;
    std::size_t groupsOpen;
  };
  const Step steps[] = {
      {"Latin and emoji need the first group only", latin, 1},
      {"Arabic opens the scripts in daily use", "\xD8\xB7\xD9\x84\xD8\xA8", 2},
      {"Japanese opens the CJK faces", "\xE6\x9D\xB1\xE4\xBA\xAC", 3},
      {"a text already drawn opens nothing", "Order", 3},
      {"a character no font draws opens the last group too", "\xF4\x8F\xBF\xBD", 4},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    laidOutWidth(fonts, s.text);
    EXPECT_EQ(fonts.groupsOpen(), s.groupsOpen);
  }
  EXPECT_EQ(laidOutWidth(fonts, latin), before);
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
