#include "host/drawing/fonts.hpp"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include "host/drawing/shaped_text.hpp"

#ifndef CORVLIN_TEXT_FONT_DIR
#define CORVLIN_TEXT_FONT_DIR "/usr/share/fonts/opentype/inter"
#endif
#ifndef CORVLIN_EMOJI_FONT_DIR
#define CORVLIN_EMOJI_FONT_DIR "/usr/share/fonts/truetype/noto"
#endif

namespace corvlin::host::drawing {
namespace {

// The configuration's one rule: a colour emoji font holds bitmaps of one size, which are scaled
// to the size asked for (without it an emoji is drawn at its bitmaps' 109 pixels).
constexpr const char* scaleBitmaps = R"(<?xml version="1.0"?>
<fontconfig>
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

}  // namespace

struct Fonts::Handles {
  FcConfig* config = nullptr;
  PangoFontMap* fontMap = nullptr;
  ~Handles() {
    if (fontMap) g_object_unref(fontMap);
    if (config) FcConfigDestroy(config);
  }
};

std::vector<std::string> defaultFontFiles() {
  return {CORVLIN_TEXT_FONT_DIR "/Inter-Regular.otf", CORVLIN_TEXT_FONT_DIR "/Inter-SemiBold.otf",
          CORVLIN_EMOJI_FONT_DIR "/NotoColorEmoji.ttf"};
}

Result<std::unique_ptr<Fonts>, std::string> Fonts::open(const std::vector<std::string>& files) {
  auto handles = std::make_unique<Handles>();
  // A configuration built here, with no configuration file, no font folder and no cache of the
  // system's: it knows the listed files and nothing else.
  handles->config = FcConfigCreate();
  if (!handles->config ||
      !FcConfigParseAndLoadFromMemory(handles->config,
                                      reinterpret_cast<const FcChar8*>(scaleBitmaps), FcTrue)) {
    return Failure{std::string("cannot create a font configuration")};
  }
  for (const auto& file : files) {
    if (!FcConfigAppFontAddFile(handles->config, reinterpret_cast<const FcChar8*>(file.c_str()))) {
      return Failure{"cannot load the font " + file +
                     " (install fonts-inter and fonts-noto-color-emoji)"};
    }
  }
  handles->fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (!handles->fontMap) return Failure{std::string("cannot create a font map")};
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(handles->fontMap), handles->config);

  PangoContext* context = pango_font_map_create_context(handles->fontMap);
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

PangoLayout* Fonts::textLayout(std::string_view text, const layout::TextFont& font) {
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
  pango_layout_set_attributes(layout, attributes);
  pango_attr_list_unref(attributes);
  // A text is laid out within the data budget, so its length always fits Pango's int.
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  return layout;
}

PangoLayout* Fonts::lineLayout(std::string_view text, const layout::TextFont& font) {
  PangoLayout* layout = textLayout({}, font);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
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
