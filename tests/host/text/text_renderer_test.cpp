// The text sketch goes to a terminal: nothing in a text, label, symbol name or link may act on
// it, and every text is quoted.
#include "host/text/text_renderer.hpp"

#include <gtest/gtest.h>

#include <string>

namespace corvlin::host {
namespace {

TEST(TextRenderer, ShowsWhatWouldActOnTheTerminalAsVisibleEscapes) {
  struct Case {
    const char* name;
    std::string text;
    std::string shown;  // between the quotes
  };
  const Case cases[] = {
      {"plain and non-ASCII", "Café 🚚 ok", "Café 🚚 ok"},
      {"title-setting and screen-clearing sequences", "T\x1b]0;PWNED\x07\x1b[2J",
       "T\\u001b]0;PWNED\\u0007\\u001b[2J"},
      {"NUL, tab and carriage return", std::string("a\0b\tc\rd", 7), "a\\u0000b\\u0009c\\u000dd"},
      {"line break, quote and backslash", "1\n\"2\"\\", "1\\n\\\"2\\\"\\\\"},
      {"DEL", "x\x7fy", "x\\u007fy"},
      {"C1 controls", "\xc2\x80 \xc2\x9b[2J \xc2\x9f \xc2\xa0",
       "\\u0080 \\u009b[2J \\u009f \xc2\xa0"},
      {"bidirectional overrides and isolates",
       "\u202a\u202b\u202c\u202d\u202e|\u2066\u2067\u2068\u2069|\u200f\u2029",
       "\\u202a\\u202b\\u202c\\u202d\\u202e|\\u2066\\u2067\\u2068\\u2069|\u200f\u2029"},
      {"bytes that are not UTF-8", "a\xff\xc2", "a\\xff\\xc2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(renderText(ui::text(c.text), 0), "\"" + c.shown + "\"\n");
    // A button's label is quoted like any text, and its link and symbols escaped too.
    const auto button = ui::link(
        "corvlin://x?" + c.text,
        ui::hstack(ui::VerticalAlignment::center, 4, {ui::image(c.text), ui::text(c.text)}));
    const std::string first = renderText(button, 0).substr(0, renderText(button, 0).find('\n'));
    EXPECT_EQ(first.find('\x1b'), std::string::npos) << first;
    EXPECT_NE(first.find("\"" + c.shown + "\"]"), std::string::npos) << first;
  }
  EXPECT_EQ(renderText(ui::image("a\x1b[2Jb"), 0), "symbol a\\u001b[2Jb\n");
  const std::string link = renderText(ui::link("corvlin://x\x1b]0;T\x07", ui::text("Go")), 0);
  EXPECT_EQ(link.substr(0, link.find('\n')), "button [\"Go\"] → corvlin://x\\u001b]0;T\\u0007");
}

}  // namespace
}  // namespace corvlin::host
