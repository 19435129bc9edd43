// Which font files the host opens, in which order it falls back through them, and the
// fontconfig rules that make that order: Inter for text, Noto Color Emoji for emoji, and the
// Noto families for every other script. Nothing here depends on the machine's own fonts or
// locale, so a text is drawn the same way on every machine with the same packages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using PangoAttrList = struct _PangoAttrList;

namespace corvlin::host::drawing {

// A font file, or some faces of a collection (a .ttc holds several).
struct FontFile {
  std::string path;
  std::vector<unsigned> faces;  // the faces to load; empty loads every face
};

// Files opened together. The first group is opened with the fonts; each later group the first
// time a text holds a character that the groups before it do not draw. A text never draws
// differently for a later group having been opened: every family of a group comes before those
// of the groups after it.
using FontGroup = std::vector<FontFile>;

// Inter and Noto Color Emoji; the Noto families of the scripts in daily use; Chinese, Japanese
// and Korean; the Noto families of every other script of fonts-noto-core.
std::vector<FontGroup> defaultFontFiles();

// The configuration's rules: the families in the order a character falls back through them,
// emoji from Noto Color Emoji, the Japanese and Korean faces for Japanese and Korean text, and
// emoji bitmaps scaled to the size asked for.
const char* fontConfiguration();

// The language Pango's context is given: a tag that claims every script, so that no run takes a
// language from the machine's locale.
inline constexpr const char* contextLanguage = "und";

// Tags the runs of Han, kana and Hangul in `text` as Japanese when the text holds kana, as
// Korean when it holds Hangul; otherwise Han is drawn in the Simplified Chinese face.
void addCjkLanguages(PangoAttrList* attributes, std::string_view text);

}  // namespace corvlin::host::drawing
