#include "host/drawing/font_files.hpp"

#include <pango/pango.h>

#include <algorithm>
#include <array>

#ifndef CORVLIN_TEXT_FONT_DIR
#define CORVLIN_TEXT_FONT_DIR "/usr/share/fonts/opentype/inter"
#endif
#ifndef CORVLIN_NOTO_FONT_DIR
#define CORVLIN_NOTO_FONT_DIR "/usr/share/fonts/truetype/noto"
#endif
#ifndef CORVLIN_CJK_FONT_DIR
#define CORVLIN_CJK_FONT_DIR "/usr/share/fonts/opentype/noto"
#endif

namespace corvlin::host::drawing {
namespace {

// The scripts in daily use, each a Noto Sans family ("" is Noto Sans itself: Latin, Greek and
// Cyrillic beyond Inter's), in the order a character falls back through them, and whether
// fonts-noto-core has its bold face.
struct Script {
  const char* name;
  bool bold;
};
constexpr std::array<Script, 24> dailyScripts = {{
    {"", true},        {"Arabic", true},   {"Hebrew", true},    {"Devanagari", true},
    {"Bengali", true}, {"Gurmukhi", true}, {"Gujarati", true},  {"Oriya", true},
    {"Tamil", true},   {"Telugu", true},   {"Kannada", true},   {"Malayalam", true},
    {"Sinhala", true}, {"Thai", true},     {"Lao", true},       {"Khmer", true},
    {"Myanmar", true}, {"Georgian", true}, {"Armenian", true},  {"Ethiopic", true},
    {"Thaana", true},  {"Symbols", true},  {"Symbols2", false}, {"Math", false},
}};

// The faces of the CJK collections, in the order Han falls back through them: Simplified
// Chinese, Traditional Chinese, Japanese, Korean.
struct CjkFace {
  const char* family;
  unsigned face;
};
constexpr std::array<CjkFace, 4> cjkFaces = {{{"Noto Sans CJK SC", 2},
                                              {"Noto Sans CJK TC", 3},
                                              {"Noto Sans CJK JP", 0},
                                              {"Noto Sans CJK KR", 1}}};

// Every other script of fonts-noto-core in Noto Sans (their regular faces only), and after them
// the scripts it has only in Noto Serif, and music. They come after every family named in the
// configuration, in the order fontconfig sorts them.
constexpr std::string_view otherSansScripts =
    "Adlam AnatolianHieroglyphs Avestan Balinese Bamum BassaVah Batak Bhaiksuki Brahmi "
    "Buginese Buhid CanadianAboriginal Carian CaucasianAlbanian Chakma Cham Cherokee Coptic "
    "Cuneiform Cypriot Deseret Duployan EgyptianHieroglyphs Elbasan Elymaic Glagolitic "
    "Gothic Grantha GunjalaGondi HanifiRohingya Hanunoo Hatran ImperialAramaic "
    "IndicSiyaqNumbers InscriptionalPahlavi InscriptionalParthian Javanese Kaithi KayahLi "
    "Kharoshthi Khojki Khudawadi Lepcha Limbu LinearA LinearB Lisu Lycian Lydian Mahajani "
    "Mandaic Manichaean Marchen MasaramGondi MayanNumerals Medefaidrin MeeteiMayek "
    "MendeKikakui Meroitic Miao Modi Mongolian Mro Multani NKo Nabataean NewTaiLue Newa "
    "Nushu Ogham OlChiki OldHungarian OldItalic OldNorthArabian OldPermic OldPersian "
    "OldSogdian OldSouthArabian OldTurkic Osage Osmanya PahawhHmong Palmyrene PauCinHau "
    "PhagsPa Phoenician PsalterPahlavi Rejang Runic Samaritan Saurashtra Sharada Shavian "
    "Siddham SignWriting Sogdian SoraSompeng Soyombo Sundanese SylotiNagri Syriac Tagalog "
    "Tagbanwa TaiLe TaiTham TaiViet Takri TamilSupplement Tifinagh Tirhuta Ugaritic Vai "
    "Wancho WarangCiti Yi ZanabazarSquare";
constexpr std::array otherFiles = {
    "NotoSerifAhom-Regular.ttf",
    "NotoSerifDogra-Regular.ttf",
    "NotoSerifNyiakengPuachueHmong-Regular.ttf",
    "NotoSerifTangut-Regular.ttf",
    "NotoSerifTibetan-Regular.ttf",
    "NotoSerifYezidi-Regular.ttf",
    "NotoMusic-Regular.ttf",
};

std::string family(const Script& script) {
  return std::string("Noto Sans") + (*script.name ? " " : "") + script.name;
}

std::string familyList(const std::vector<std::string>& families) {
  std::string out;
  for (const auto& f : families) out += "<string>" + f + "</string>";
  return out;
}

bool inRange(gunichar c, gunichar low, gunichar high) { return c >= low && c <= high; }

bool isKana(gunichar c) {
  return inRange(c, 0x3040, 0x30FF) || inRange(c, 0x31F0, 0x31FF) || inRange(c, 0xFF66, 0xFF9F) ||
         inRange(c, 0x1B000, 0x1B16F);
}

bool isHangul(gunichar c) {
  return inRange(c, 0x1100, 0x11FF) || inRange(c, 0x3130, 0x318F) || inRange(c, 0xA960, 0xA97F) ||
         inRange(c, 0xAC00, 0xD7FF);
}

}  // namespace

std::vector<FontGroup> defaultFontFiles() {
  const std::string noto = CORVLIN_NOTO_FONT_DIR "/";
  std::vector<FontGroup> groups(4);
  groups[0] = {{CORVLIN_TEXT_FONT_DIR "/Inter-Regular.otf", {}},
               {CORVLIN_TEXT_FONT_DIR "/Inter-SemiBold.otf", {}},
               {noto + "NotoColorEmoji.ttf", {}}};
  for (const auto& script : dailyScripts) {
    groups[1].push_back({noto + "NotoSans" + script.name + "-Regular.ttf", {}});
    if (script.bold) groups[1].push_back({noto + "NotoSans" + script.name + "-Bold.ttf", {}});
  }
  std::vector<unsigned> faces;
  for (const auto& face : cjkFaces) faces.push_back(face.face);
  groups[2] = {{CORVLIN_CJK_FONT_DIR "/NotoSansCJK-Regular.ttc", faces},
               {CORVLIN_CJK_FONT_DIR "/NotoSansCJK-Bold.ttc", faces}};
  for (std::size_t at = 0; at < otherSansScripts.size();) {
    const std::size_t space = std::min(otherSansScripts.find(' ', at), otherSansScripts.size());
    groups[3].push_back(
        {noto + "NotoSans" + std::string(otherSansScripts.substr(at, space - at)) + "-Regular.ttf",
         {}});
    at = space + 1;
  }
  for (const char* file : otherFiles) groups[3].push_back({noto + file, {}});
  return groups;
}

const char* fontConfiguration() {
  static const std::string configuration = [] {
    std::vector<std::string> order = {"Inter", "Noto Color Emoji"};
    for (const auto& script : dailyScripts) order.push_back(family(script));
    for (const auto& face : cjkFaces) order.push_back(face.family);
    // Pango asks for the family "emoji" for an emoji presentation sequence and for a
    // character whose default presentation is emoji. Every other character takes the first
    // family of the order that draws it: a family name binds more strongly than a language,
    // so the language of a run never reorders them.
    return R"(<?xml version="1.0"?>
<fontconfig>
  <alias binding="same"><family>emoji</family><prefer><family>Noto Color Emoji</family></prefer></alias>
  <match target="pattern">
    <test name="lang" compare="eq"><string>ja</string></test>
    <edit name="family" mode="append_last" binding="strong">)" +
           familyList({"Inter", "Noto Color Emoji", "Noto Sans CJK JP"}) + R"(</edit>
  </match>
  <match target="pattern">
    <test name="lang" compare="eq"><string>ko</string></test>
    <edit name="family" mode="append_last" binding="strong">)" +
           familyList({"Inter", "Noto Color Emoji", "Noto Sans CJK KR"}) + R"(</edit>
  </match>
  <match target="pattern">
    <edit name="family" mode="append_last" binding="strong">)" +
           familyList(order) + R"(</edit>
  </match>
  <!-- A colour emoji font holds bitmaps of one size; they are scaled to the size asked for
       (without this an emoji is drawn at its bitmaps' 109 pixels). -->
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <edit name="pixelsizefixupfactor" mode="assign">
      <divide><name target="pattern">pixelsize</name><name target="font">pixelsize</name></divide>
    </edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <edit name="matrix" mode="assign">
      <times>
        <name>matrix</name>
        <matrix>
          <name>pixelsizefixupfactor</name><double>0</double>
          <double>0</double><name>pixelsizefixupfactor</name>
        </matrix>
      </times>
    </edit>
    <edit name="size" mode="assign">
      <divide><name>size</name><name>pixelsizefixupfactor</name></divide>
    </edit>
  </match>
</fontconfig>
)";
  }();
  return configuration.c_str();
}

void addCjkLanguages(PangoAttrList* attributes, std::string_view text) {
  const char* language = nullptr;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char_validated(p, end - p);
    if (c >= 0x110000) return;  // not UTF-8: Pango draws it as it can
    if (isKana(c)) {
      language = "ja";
      break;
    }
    if (!language && isHangul(c)) language = "ko";
  }
  if (!language) return;
  PangoLanguage* tag = pango_language_from_string(language);
  PangoScriptIter* runs = pango_script_iter_new(text.data(), static_cast<int>(text.size()));
  do {
    const char* start = nullptr;
    const char* stop = nullptr;
    PangoScript script = PANGO_SCRIPT_COMMON;
    pango_script_iter_get_range(runs, &start, &stop, &script);
    if (script == PANGO_SCRIPT_HAN || script == PANGO_SCRIPT_HIRAGANA ||
        script == PANGO_SCRIPT_KATAKANA || script == PANGO_SCRIPT_HANGUL) {
      PangoAttribute* attribute = pango_attr_language_new(tag);
      attribute->start_index = static_cast<guint>(start - text.data());
      attribute->end_index = static_cast<guint>(stop - text.data());
      pango_attr_list_insert(attributes, attribute);
    }
  } while (pango_script_iter_next(runs));
  pango_script_iter_free(runs);
}

}  // namespace corvlin::host::drawing
