// Every script on the host's own fonts, through Pango and through the layout's measurer: each is
// drawn with no missing glyph, from the family meant for it, broken into lines only where its
// rules allow, and emoji in colour.
#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/drawing/fonts.hpp"

namespace corvlin::host::drawing {
namespace {

constexpr layout::TextFont body{17, 400, false};
constexpr layout::TextFont headline{17, 600, false};

Fonts& fonts() {
  static const std::unique_ptr<Fonts> opened = Fonts::open(defaultFontFiles()).value();
  return *opened;
}

// A layout of `text` wrapped at `width` points, between words and, in a word wider than the
// line, between characters.
PangoLayout* wrapped(std::string_view text, double width, const layout::TextFont& font = body) {
  PangoLayout* layout = fonts().lineLayout(text, font);
  pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  return layout;
}

std::string joined(const std::vector<std::string>& pieces) {
  std::string out;
  for (const auto& p : pieces) out += p;
  return out;
}

TEST(Scripts, EachBreaksOnlyWhereItsRulesAllowWithNoGlyphMissing) {
  struct Case {
    const char* name;
    std::vector<std::string> pieces;  // the text, in pieces that a line never splits
    double width;
    PangoDirection direction;  // of every line
  };
  const Case cases[] = {
      {"Latin, between words",
       {"Courier ", "is ", "2 ", "km ", "away ", "and ", "will ", "ring ", "twice"},
       120,
       PANGO_DIRECTION_LTR},
      {"Arabic, between words, right to left",
       {"طلبك ", "في ", "الطريق ", "والسائق ", "على ", "بعد ", "كيلومترين"},
       90,
       PANGO_DIRECTION_RTL},
      {"Hebrew, between words, right to left",
       {"ההזמנה ", "שלך ", "בדרך ", "והשליח ", "יגיע ", "בעוד ", "עשר ", "דקות"},
       80,
       PANGO_DIRECTION_RTL},
      {"Thai, between its words though it writes no spaces",
       {"วันนี้", "อากาศ", "ดี", "มาก", "และ", "คนขับ", "กำลัง", "มา", "ถึง", "แล้ว"},
       80,
       PANGO_DIRECTION_LTR},
      {"Chinese, between characters but never before closing punctuation",
       {"您", "的", "订", "单", "正", "在", "配", "送", "中，", "骑", "手", "十", "分", "钟", "后",
        "到", "达。"},
       75,
       PANGO_DIRECTION_LTR},
      {"Japanese, between characters but never before a full stop",
       {"ご", "注", "文", "の", "商", "品", "は", "配", "達", "員", "が", "向", "か", "っ", "て",
        "い", "ま", "す。"},
       75,
       PANGO_DIRECTION_LTR},
      {"emoji sequences are never split",
       {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x9A\x80",                              // astronaut
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",  // family
        "\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5",                                          // a flag
        "\xE2\x9D\xA4\xEF\xB8\x8F",                                                  // ❤️
        "\xE2\x98\x80\xEF\xB8\x8F",                                                  // ☀️
        "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",  // thumbs up, a skin tone
        "1\xEF\xB8\x8F\xE2\x83\xA3"},        // a keycap
       40,
       PANGO_DIRECTION_LTR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = joined(c.pieces);
    std::set<int> allowed;  // where a line may start
    int offset = 0;
    for (const auto& piece : c.pieces) {
      allowed.insert(offset);
      offset += static_cast<int>(piece.size());
    }
    PangoLayout* layout = wrapped(text, c.width);
    EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0);
    EXPECT_GE(pango_layout_get_line_count(layout), 2);
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
      const auto* line = static_cast<PangoLayoutLine*>(l->data);
      SCOPED_TRACE(text.substr(static_cast<std::size_t>(line->start_index),
                               static_cast<std::size_t>(line->length)));
      EXPECT_TRUE(allowed.count(line->start_index)) << "a line starts inside a piece";
      EXPECT_EQ(static_cast<PangoDirection>(line->resolved_dir), c.direction);
      PangoRectangle ink{};
      pango_layout_line_get_pixel_extents(const_cast<PangoLayoutLine*>(line), &ink, nullptr);
      EXPECT_LE(ink.width, c.width + 1);
    }
    g_object_unref(layout);

    // The layout's measurer breaks it the same way, and counts no glyph missing either.
    const layout::MeasuredText measured = fonts().measure(text, body, c.width, std::nullopt);
    EXPECT_EQ(measured.unknownGlyphs, 0u);
    EXPECT_FALSE(measured.truncated);
    EXPECT_GE(measured.lines.size(), 2u);
    EXPECT_EQ(measured.lineCount, measured.lines.size());
    std::size_t cursor = 0;
    for (const auto& line : measured.lines) {
      SCOPED_TRACE(line.text);
      const std::size_t at = text.find(line.text, cursor);
      ASSERT_NE(at, std::string::npos);
      EXPECT_TRUE(allowed.count(static_cast<int>(at))) << "a line starts inside a piece";
      EXPECT_LE(line.width, c.width + 0.5);
      cursor = at + line.text.size();
    }
  }
}

// The family of the font that draws the run holding byte `at` of `text`.
std::string familyAt(std::string_view text, int at, const layout::TextFont& font) {
  PangoLayout* layout = fonts().lineLayout(text, font);
  std::string family;
  for (GSList* r = pango_layout_get_line_readonly(layout, 0)->runs; r; r = r->next) {
    const auto* run = static_cast<PangoGlyphItem*>(r->data);
    if (at < run->item->offset || at >= run->item->offset + run->item->length) continue;
    PangoFontDescription* d = pango_font_describe(run->item->analysis.font);
    family = pango_font_description_get_family(d);
    pango_font_description_free(d);
  }
  g_object_unref(layout);
  return family;
}

TEST(Scripts, EachIsDrawnFromTheFamilyMeantForIt) {
  struct Case {
    const char* name;
    std::string text;
    int at;  // a byte of the run looked at
    std::string family;
  };
  const Case cases[] = {
      {"Latin in Inter", "Order 42", 0, "Inter"},
      {"a digit among Arabic in Inter", "الطلب 42", 12, "Inter"},
      {"Arabic", "الطلب 42", 0, "Noto Sans Arabic"},
      {"Hebrew", "שלום", 0, "Noto Sans Hebrew"},
      {"Devanagari", "नमस्ते", 0, "Noto Sans Devanagari"},
      {"Thai", "สวัสดี", 0, "Noto Sans Thai"},
      {"Greek, which Inter draws", "Καλημέρα", 0, "Inter"},
      {"Han among kana in the Japanese face", "東京に着きました", 0, "Noto Sans CJK JP"},
      {"kana in the Japanese face", "東京に着きました", 6, "Noto Sans CJK JP"},
      {"Han alone in the Simplified Chinese face", "订单正在配送中", 0, "Noto Sans CJK SC"},
      {"Hangul in the Korean face", "주문이 배송 중입니다", 0, "Noto Sans CJK KR"},
      {"an emoji presentation sequence in colour", "Hot \xE2\x98\x80\xEF\xB8\x8F", 4,
       "Noto Color Emoji"},
      {"a heart with its emoji selector in colour", "\xE2\x9D\xA4\xEF\xB8\x8F", 0,
       "Noto Color Emoji"},
      {"an emoji by default in colour", "\xF0\x9F\x9A\xB2", 0, "Noto Color Emoji"},
      {"the sun as text, with no selector, in Inter", "Hot \xE2\x98\x80", 4, "Inter"},
      {"Cherokee, a script of the last group", "ᏣᎳᎩ", 0, "Noto Sans Cherokee"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(familyAt(c.text, c.at, body), c.family);
    EXPECT_EQ(familyAt(c.text, c.at, headline), c.family);
  }
}

// The colours of the pixels drawn for `text` in white on nothing, 40 points high.
struct Colours {
  int coloured = 0;   // pixels far from grey
  int drawn = 0;      // pixels drawn at all
  int reddest = 0;    // the most red over green of a pixel
  int yellowest = 0;  // the most of red and green both over blue
};

Colours coloursOf(std::string_view text) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 60);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  PangoLayout* layout = fonts().lineLayout(text, {40, 400, false});
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
  cairo_surface_flush(surface);
  Colours out;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      const unsigned char* p = data + y * stride + x * 4;  // B G R A, premultiplied
      const int b = p[0], g = p[1], r = p[2], a = p[3];
      if (a < 128) continue;
      ++out.drawn;
      if (std::max({r, g, b}) - std::min({r, g, b}) > 60) ++out.coloured;
      out.reddest = std::max(out.reddest, r - g);
      out.yellowest = std::max(out.yellowest, std::min(r, g) - b);
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return out;
}

TEST(Scripts, EmojiAreDrawnInColourAndTextPresentationInTheTextColour) {
  const Colours heart = coloursOf("\xE2\x9D\xA4\xEF\xB8\x8F");  // ❤️
  EXPECT_GT(heart.coloured, 100);
  EXPECT_GT(heart.reddest, 120);
  const Colours sun = coloursOf("\xE2\x98\x80\xEF\xB8\x8F");  // ☀️
  EXPECT_GT(sun.coloured, 100);
  EXPECT_GT(sun.yellowest, 120);
  const Colours text = coloursOf("\xE2\x98\x80 Aa");  // ☀ as text
  EXPECT_GT(text.drawn, 100);
  EXPECT_EQ(text.coloured, 0);
}

}  // namespace
}  // namespace corvlin::host::drawing
