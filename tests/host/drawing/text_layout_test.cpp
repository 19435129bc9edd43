// Texts laid out by Pango on the host's fonts: where lines break, how a text that needs more
// lines than it has ends, how many lines a cut text needs, and what no font draws.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "host/drawing/fonts.hpp"
#include "layout/layout.hpp"

namespace corvlin::host::drawing {
namespace {

constexpr layout::TextFont headline{17, 600, false, 22};
const std::string ellipsis = "\xE2\x80\xA6";
const std::string astronaut = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x9A\x80";  // woman, ZWJ, rocket

Fonts& fonts() {
  static const std::unique_ptr<Fonts> opened = Fonts::open(defaultFontFiles()).value();
  return *opened;
}

std::vector<std::string> textsOf(const layout::MeasuredText& m) {
  std::vector<std::string> out;
  for (const auto& line : m.lines) out.push_back(line.text);
  return out;
}

std::string repeated(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

TEST(TextLayout, PangoBreaksBetweenWordsThenBetweenClustersAndCutsWithAnEllipsis) {
  Fonts& f = fonts();
  // A width that holds "Order 42 is on" and not one more word.
  const double fourWords = f.width("Order 42 is on", headline) + 1;
  const double oneEmoji = f.width(astronaut, headline) + 1;
  struct Case {
    const char* name;
    std::string text;
    std::optional<double> width;
    std::optional<std::size_t> maxLines;
    std::vector<std::string> lines;
    bool truncated;
    std::size_t lineCount;
  };
  const Case cases[] = {
      {"one line when it fits", "Order 42", 300, 4, {"Order 42"}, false, 1},
      {"between words",
       "Order 42 is on its way",
       fourWords,
       4,
       {"Order 42 is on", "its way"},
       false,
       2},
      {"the last line kept is cut with an ellipsis",
       "Order 42 is on its way to you now",
       fourWords,
       1,
       {"Order 42 is" + ellipsis},
       true,
       3},
      {"newlines break without a width", "ab\ncd", std::nullopt, 4, {"ab", "cd"}, false, 2},
      {"a paragraph's last line kept takes the ellipsis after it",
       "ab\ncd\nef",
       300,
       2,
       {"ab", "cd" + ellipsis},
       true,
       3},
      {"without a width the last paragraph kept ends in an ellipsis",
       "ab\ncd\nef",
       std::nullopt,
       1,
       {"ab" + ellipsis},
       true,
       3},
      {"an emoji sequence is never split", repeated(astronaut, 3), oneEmoji, 4,
       std::vector<std::string>(3, astronaut), false, 3},
      {"no lines at all", "Order 42", 300, 0, {}, true, 1},
      {"nothing is nothing", "", 300, 4, {}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const layout::MeasuredText m = f.measure(c.text, headline, c.width, c.maxLines);
    EXPECT_EQ(textsOf(m), c.lines);
    EXPECT_EQ(m.truncated, c.truncated);
    EXPECT_EQ(m.lineCount, c.lineCount);
    EXPECT_EQ(m.unknownGlyphs, 0u);
    EXPECT_DOUBLE_EQ(m.size.height, 22.0 * static_cast<double>(m.lines.size()));
    for (const auto& line : m.lines) {
      if (c.width) {
        EXPECT_LE(line.width, *c.width) << line.text;
      }
      EXPECT_LE(line.width, m.size.width);
    }
  }
}

TEST(TextLayout, ACutTextCountsTheLinesItNeedsAsPangoBreaksThem) {
  Fonts& f = fonts();
  std::string letters;
  for (int i = 0; i < 600; ++i) letters += static_cast<char>('a' + i % 26);
  std::string words;
  for (int i = 0; i < 150; ++i) words += i % 3 ? "on " : "courier ";
  const std::string mixed = "Order 42:\n" + words + "\n" + letters;
  for (const std::string& text : {letters, words, mixed}) {
    for (double width : {40.0, 150.0, 339.0}) {
      SCOPED_TRACE(text.substr(0, 12) + " at " + std::to_string(width));
      // Laid out whole, Pango gives every line; cut to three, the count must agree with it.
      const layout::MeasuredText whole = f.measure(text, headline, width, std::nullopt);
      const layout::MeasuredText cut = f.measure(text, headline, width, 3);
      ASSERT_FALSE(whole.truncated);
      EXPECT_EQ(whole.lineCount, whole.lines.size());
      EXPECT_TRUE(cut.truncated);
      EXPECT_EQ(cut.lines.size(), 3u);
      EXPECT_EQ(cut.lineCount, whole.lineCount);
      // The lines shown are the whole layout's, the last cut to end in "…".
      EXPECT_EQ(cut.lines[0], whole.lines[0]);
      EXPECT_EQ(cut.lines[1], whole.lines[1]);
      EXPECT_TRUE(cut.lines[2].text.ends_with(ellipsis)) << cut.lines[2].text;
      std::string joined;
      for (const auto& line : whole.lines) joined += line.text;
      std::string compact;
      for (char ch : text) {
        if (ch != ' ' && ch != '\n') compact += ch;
      }
      std::erase(joined, ' ');
      EXPECT_EQ(joined, compact) << "every character stands on some line, once";
    }
  }
}

TEST(TextLayout, CharactersNoFontDrawsAreCounted) {
  Fonts& f = fonts();
  // U+F0000 and U+10FFFD are for private use: no font draws them.
  EXPECT_EQ(f.measure("Order \xF3\xB0\x80\x80 42 \xF4\x8F\xBF\xBD", headline, 300, 2).unknownGlyphs,
            2u);
  EXPECT_EQ(f.measure("Order 42 " + astronaut, headline, 300, 2).unknownGlyphs, 0u);
}

TEST(TextLayout, AnyTextIsLaidOutWithinItsFrameHoweverLong) {
  // 300,000 letters in one word: once, a width past the range of Pango's int made a one-line
  // lock screen of it.
  const std::string huge(300000, 'b');
  const ui::View title = ui::text(huge).with(ui::FontModifier{ui::font(ui::TextStyle::headline)});
  layout::Options options;
  const layout::Node laidOut = layout::layout(title, {339, 128}, fonts(), options);
  ASSERT_EQ(laidOut.children.size(), 1u);
  const layout::Node& root = laidOut.children.front();  // inside the font modifier
  EXPECT_EQ(root.lines.size(), 5u);
  EXPECT_TRUE(root.truncated);
  EXPECT_GT(root.lineCount, 100u);
  EXPECT_LE(root.frame.width, 339);
  for (const auto& line : root.lines) EXPECT_LE(line.frame.width, 339);
  EXPECT_TRUE(root.lines.back().text.ends_with(ellipsis));
}

}  // namespace
}  // namespace corvlin::host::drawing
