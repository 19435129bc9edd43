#include "host/drawing/fonts.hpp"

#include <fontconfig/fontconfig.h>
// After fontconfig.h, whose types it uses.
#include <fontconfig/fcfreetype.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <optional>

#include "host/drawing/shaped_text.hpp"

namespace corvlin::host::drawing {
namespace {

const FcChar8* fc(const std::string& s) { return reinterpret_cast<const FcChar8*>(s.c_str()); }

// Pango picks no font for these (controls, format characters, spaces, variation selectors), so a
// text holding one needs no font that draws it.
bool takesNoFont(gunichar c) {
  const GUnicodeType type = g_unichar_type(c);
  return type == G_UNICODE_CONTROL || type == G_UNICODE_SURROGATE ||
         (type == G_UNICODE_FORMAT && !(c >= 0x600 && c <= 0x6FF) && c != 0x70F && c != 0x8E2) ||
         type == G_UNICODE_LINE_SEPARATOR || type == G_UNICODE_PARAGRAPH_SEPARATOR ||
         (type == G_UNICODE_SPACE_SEPARATOR && c != 0x1680) || (c >= 0xFE00 && c <= 0xFE0F) ||
         (c >= 0xE0100 && c <= 0xE01EF);
}

}  // namespace

struct Fonts::Handles {
  FcConfig* config = nullptr;
  PangoFontMap* fontMap = nullptr;
  std::vector<FontGroup> groups;
  std::size_t groupsOpen = 0;
  FcCharSet* drawn = nullptr;  // the characters the open groups draw
  ~Handles() {
    if (fontMap) g_object_unref(fontMap);
    if (config) FcConfigDestroy(config);
    if (drawn) FcCharSetDestroy(drawn);
  }

  // Scans the next group's files into the configuration, or names the file that would not load.
  std::optional<std::string> openGroup() {
    FcFontSet* fonts = FcConfigGetFonts(config, FcSetApplication);
    const int before = fonts ? fonts->nfont : 0;
    for (const auto& file : groups[groupsOpen]) {
      if (file.faces.empty()) {
        if (!FcConfigAppFontAddFile(config, fc(file.path))) return file.path;
        continue;
      }
      // Only the faces asked for: each face scanned costs a few milliseconds.
      fonts = FcConfigGetFonts(config, FcSetApplication);
      if (!fonts) return file.path;  // single faces only after a group of whole files
      for (unsigned face : file.faces) {
        int count = 0;
        FcPattern* pattern = FcFreeTypeQuery(fc(file.path), face, nullptr, &count);
        if (!pattern) return file.path;
        if (!FcFontSetAdd(fonts, pattern)) {
          FcPatternDestroy(pattern);
          return file.path;
        }
      }
    }
    ++groupsOpen;
    // What the configuration now draws: the characters of every font it holds.
    fonts = FcConfigGetFonts(config, FcSetApplication);
    for (int i = before; fonts && i < fonts->nfont; ++i) {
      FcCharSet* chars = nullptr;
      if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &chars) == FcResultMatch) {
        FcCharSetMerge(drawn, chars, nullptr);
      }
    }
    return std::nullopt;
  }
};

Result<std::unique_ptr<Fonts>, std::string> Fonts::open(const std::vector<FontGroup>& groups) {
  constexpr const char* packages =
      "fonts-inter, fonts-noto-color-emoji, fonts-noto-core and fonts-noto-cjk";
  // Every file must be there, though only the first group is scanned now.
  for (const auto& group : groups) {
    for (const auto& file : group) {
      if (!g_file_test(file.path.c_str(), G_FILE_TEST_IS_REGULAR)) {
        return Failure{"cannot find the font " + file.path + " (install " + packages + ")"};
      }
    }
  }
  auto handles = std::make_unique<Handles>();
  handles->groups = groups;
  handles->drawn = FcCharSetCreate();
  // A configuration built here, with no configuration file, no font folder and no cache of the
  // system's: it knows the listed files and nothing else.
  handles->config = FcConfigCreate();
  if (!handles->config || !handles->drawn ||
      !FcConfigParseAndLoadFromMemory(
          handles->config, reinterpret_cast<const FcChar8*>(fontConfiguration()), FcTrue)) {
    return Failure{std::string("cannot create a font configuration")};
  }
  if (groups.empty()) return Failure{std::string("no font files given")};
  if (auto failed = handles->openGroup()) {
    return Failure{"cannot load the font " + *failed + " (install " + packages + ")"};
  }
  handles->fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (!handles->fontMap) return Failure{std::string("cannot create a font map")};
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(handles->fontMap), handles->config);

  PangoContext* context = pango_font_map_create_context(handles->fontMap);
  // Not the machine's locale: a run's language picks faces and shaping rules.
  pango_context_set_language(context, pango_language_from_string(contextLanguage));
  // Points are device units; no hinting and no rounding, so that a text is as wide at every
  // scale it is drawn at as it was when measured.
  pango_cairo_context_set_resolution(context, 72);
  pango_context_set_round_glyph_positions(context, FALSE);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  return std::unique_ptr<Fonts>(new Fonts(std::move(handles), context));
}

Fonts::Fonts(std::unique_ptr<Handles> handles, PangoContext* context)
    : handles_(std::move(handles)), context_(context) {}

Fonts::~Fonts() {
  if (context_) g_object_unref(context_);
}

std::size_t Fonts::groupsOpen() const { return handles_->groupsOpen; }

void Fonts::cover(std::string_view text) {
  Handles& h = *handles_;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end && h.groupsOpen < h.groups.size();
       p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char_validated(p, end - p);
    if (c >= 0x110000) return;  // not UTF-8
    if (takesNoFont(c) || FcCharSetHasChar(h.drawn, c)) continue;
    const std::size_t before = h.groupsOpen;
    while (h.groupsOpen < h.groups.size() && !FcCharSetHasChar(h.drawn, c)) {
      // A group whose file has gone since the fonts were opened is left out: its characters
      // are drawn as missing.
      if (h.openGroup()) ++h.groupsOpen;
    }
    if (h.groupsOpen != before) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(h.fontMap));
  }
}

PangoLayout* Fonts::textLayout(std::string_view text, const layout::TextFont& font) {
  cover(text);
  PangoLayout* layout = pango_layout_new(context_);
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family_static(description, "Inter");
  pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
  pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  PangoAttrList* attributes = pango_attr_list_new();
  // A word broken between characters gets no hyphen (and Pango's hyphen search costs time
  // growing with the square of the word).
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  if (font.monospacedDigit)
    pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum"));
  addCjkLanguages(attributes, text);
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  // A text is laid out within the data budget, so its length always fits Pango's int.
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  return layout;
}

PangoLayout* Fonts::lineLayout(std::string_view text, const layout::TextFont& font) {
  PangoLayout* layout = textLayout(text, font);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  return layout;
}

double Fonts::width(std::string_view text, const layout::TextFont& font) {
  PangoLayout* layout = lineLayout(text, font);
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

}  // namespace corvlin::host::drawing
