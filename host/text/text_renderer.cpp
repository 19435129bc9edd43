#include "host/text/text_renderer.hpp"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "host/text/timer_format.hpp"

namespace corvlin::host {
namespace {

using namespace ui;

std::string number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

std::string percent(double fraction) { return number(std::round(fraction * 1000) / 10) + "%"; }

std::string_view styleName(TextStyle style) {
  switch (style) {
    case TextStyle::title2:
      return "title2";
    case TextStyle::headline:
      return "headline";
    case TextStyle::subheadline:
      return "subheadline";
    case TextStyle::footnote:
      return "footnote";
    case TextStyle::caption:
      return "caption";
    case TextStyle::caption2:
      return "caption2";
  }
  return "?";
}

std::string alignmentName(const Alignment& a) {
  const char* h = a.horizontal == HorizontalAlignment::leading    ? "leading"
                  : a.horizontal == HorizontalAlignment::trailing ? "trailing"
                                                                  : "";
  const char* v = a.vertical == VerticalAlignment::top      ? "top"
                  : a.vertical == VerticalAlignment::bottom ? "bottom"
                                                            : "";
  std::string name = std::string(v) + (*v && *h ? " " : "") + h;
  return name.empty() ? "centred" : name;
}

std::string edgesName(Edges edges) {
  if (edges == allEdges) return "";
  std::vector<std::string_view> names;
  if (edges & Edge::top) names.push_back("top");
  if (edges & Edge::leading) names.push_back("leading");
  if (edges & Edge::bottom) names.push_back("bottom");
  if (edges & Edge::trailing) names.push_back("trailing");
  std::string out;
  for (auto n : names) out += std::string(out.empty() ? "" : "+") + std::string(n);
  return out + " ";
}

std::string fontName(const Font& font) {
  std::string out(styleName(font.style));
  if (font.weight) out += " semibold";
  if (font.monospacedDigit) out += " monospaced-digit";
  return out;
}

std::string modifierText(const Modifier& modifier, double now);

void describe(const View& view, int depth, double now, std::string& out);

std::string joinNotes(const std::vector<Modifier>& modifiers, double now) {
  std::string out;
  for (const auto& m : modifiers) {
    auto text = modifierText(m, now);
    if (text.empty()) continue;
    out += " · " + text;
  }
  return out;
}

std::string modifierText(const Modifier& modifier, double now) {
  return std::visit(
      [&](const auto& m) -> std::string {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, Padding>) {
          return "padding " + edgesName(m.edges) + number(m.length);
        } else if constexpr (std::is_same_v<M, Frame>) {
          return "frame " + number(m.width) + "×" + number(m.height);
        } else if constexpr (std::is_same_v<M, FlexFrame>) {
          return "max width " + (std::isinf(m.maxWidth) ? std::string("∞") : number(m.maxWidth)) +
                 ", " + alignmentName(m.alignment);
        } else if constexpr (std::is_same_v<M, FontModifier>) {
          return fontName(m.font);
        } else if constexpr (std::is_same_v<M, ForegroundColor>) {
          return colorName(m.color);
        } else if constexpr (std::is_same_v<M, Opacity>) {
          return "opacity " + percent(m.value);
        } else if constexpr (std::is_same_v<M, Background>) {
          std::string inner;
          describe(*m.content, 0, now, inner);
          while (!inner.empty() && inner.back() == '\n') inner.pop_back();
          return "on [" + inner + "]";
        } else if constexpr (std::is_same_v<M, Fill>) {
          return "filled " + colorName(m.color);
        } else if constexpr (std::is_same_v<M, Stroke>) {
          return "stroked " + colorName(m.color) + ", width " + number(m.lineWidth) +
                 (m.lineCap == LineCap::round ? ", round caps" : "");
        } else if constexpr (std::is_same_v<M, Trim>) {
          return "trimmed " + percent(m.from) + " to " + percent(m.to);
        } else if constexpr (std::is_same_v<M, RotationEffect>) {
          return "rotated " + number(m.degrees) + "°";
        } else if constexpr (std::is_same_v<M, MultilineTextAlignment>) {
          return m.alignment == TextAlignment::trailing ? "lines trailing"
                 : m.alignment == TextAlignment::center ? "lines centred"
                                                        : "lines leading";
        } else if constexpr (std::is_same_v<M, LayoutDirectionModifier>) {
          return m.value == LayoutDirection::rightToLeft ? "right-to-left" : "left-to-right";
        } else if constexpr (std::is_same_v<M, ActivityBackgroundTint>) {
          return "background tint " + colorName(m.color);
        } else if constexpr (std::is_same_v<M, ActivitySystemActionForegroundColor>) {
          return "system action colour " + colorName(m.color);
        } else {
          return "";
        }
      },
      modifier);
}

void appendEscape(std::string& out, const char* format, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

// True for what a terminal would act on rather than show: C0 and C1 controls, DEL, and the
// bidirectional overrides and isolates, which reorder what follows them.
bool actsOnTheTerminal(char32_t code) {
  return code < 0x20 || (code >= 0x7f && code <= 0x9f) || (code >= 0x202a && code <= 0x202e) ||
         (code >= 0x2066 && code <= 0x2069);
}

// `text` with every character that acts on the terminal shown as a visible escape ("\u001b"),
// and a byte that begins no valid UTF-8 sequence as "\xff". With `quotes`, also escapes '"',
// '\\' and the line break ("\n"), so that a quoted text ends only at its closing quote.
std::string visible(std::string_view text, bool quotes) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80           ? 1
                               : (byte >> 5) == 0x6  ? 2
                               : (byte >> 4) == 0xe  ? 3
                               : (byte >> 3) == 0x1e ? 4
                                                     : 0;
    bool valid = length > 0 && i + length <= text.size();
    char32_t code = length == 1 ? byte : byte & (0x7fu >> length);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xc0) == 0x80;
      code = (code << 6) | (next & 0x3fu);
    }
    if (!valid) {
      appendEscape(out, "\\x%02x", byte);
      ++i;
      continue;
    }
    if (quotes && code == '\n') {
      out += "\\n";
    } else if (quotes && (code == '"' || code == '\\')) {
      out += '\\';
      out += static_cast<char>(code);
    } else if (actsOnTheTerminal(code)) {
      appendEscape(out, "\\u%04x", static_cast<unsigned>(code));
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::string quoted(std::string_view text) { return "\"" + visible(text, true) + "\""; }

// The label of a button, flattened, its texts quoted: 🔒 "Cancel order".
void flattenLabel(const View& view, std::string& out) {
  std::visit(
      [&](const auto& k) {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, Text>) {
          out += (out.empty() ? "" : " ") + quoted(k.text);
        } else if constexpr (std::is_same_v<K, Image>) {
          out += (out.empty() ? "" : " ") + (k.systemName == "lock.fill"
                                                 ? std::string("🔒")
                                                 : "[" + visible(k.systemName, false) + "]");
        } else if constexpr (std::is_same_v<K, HStack> || std::is_same_v<K, VStack> ||
                             std::is_same_v<K, ZStack> || std::is_same_v<K, ForEach>) {
          for (const auto& child : k.children) flattenLabel(child, out);
        } else if constexpr (std::is_same_v<K, Link>) {
          flattenLabel(*k.label, out);
        }
      },
      view.kind);
}

void describe(const View& view, int depth, double now, std::string& out) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  const std::vector<View>* children = nullptr;
  std::string head = std::visit(
      [&](const auto& k) -> std::string {
        using K = std::decay_t<decltype(k)>;
        if constexpr (std::is_same_v<K, HStack>) {
          children = &k.children;
          return "row, spacing " + number(k.spacing);
        } else if constexpr (std::is_same_v<K, VStack>) {
          children = &k.children;
          return "column, " + alignmentName({k.alignment, VerticalAlignment::center}) +
                 ", spacing " + number(k.spacing);
        } else if constexpr (std::is_same_v<K, ZStack>) {
          children = &k.children;
          return "layers, " + alignmentName(k.alignment);
        } else if constexpr (std::is_same_v<K, Text>) {
          return quoted(k.text);
        } else if constexpr (std::is_same_v<K, TimerText>) {
          return "timer " + timerTextAt(k, now) +
                 (k.countsDown ? " counting down" : " counting up");
        } else if constexpr (std::is_same_v<K, Image>) {
          return "symbol " + visible(k.systemName, false);
        } else if constexpr (std::is_same_v<K, Circle>) {
          return "circle";
        } else if constexpr (std::is_same_v<K, Capsule>) {
          return "capsule";
        } else if constexpr (std::is_same_v<K, EmptyView>) {
          return "nothing";
        } else if constexpr (std::is_same_v<K, ForEach>) {
          children = &k.children;
          return "each of " + std::to_string(k.children.size());
        } else {
          std::string label;
          flattenLabel(*k.label, label);
          return "button [" + label + "] → " + visible(k.destination, false);
        }
      },
      view.kind);
  out += indent + head + joinNotes(view.modifiers, now) + "\n";
  if (const auto* link = std::get_if<Link>(&view.kind)) {
    // The label is summarised on the button's line; its look is one level down.
    describe(*link->label, depth + 1, now, out);
    return;
  }
  if (children) {
    for (const auto& child : *children) describe(child, depth + 1, now, out);
  }
}

std::string_view positionName(ExpandedRegionPosition position) {
  switch (position) {
    case ExpandedRegionPosition::leading:
      return "leading";
    case ExpandedRegionPosition::trailing:
      return "trailing";
    case ExpandedRegionPosition::center:
      return "center";
    case ExpandedRegionPosition::bottom:
      return "bottom";
  }
  return "?";
}

}  // namespace

std::string colorName(const Color& color) {
  struct Named {
    Color color;
    const char* name;
  };
  // The accents by tone word, and the plain colours the presentations use.
  static constexpr Named names[] = {
      {{1.0, 0.3, 0.37, 1}, "red (danger)"},
      {{1.0, 0.62, 0.11, 1}, "amber (warning)"},
      {{0.13, 0.77, 0.37, 1}, "green (positive)"},
      {{0.18, 0.42, 1.0, 1}, "blue (default)"},
      {{1, 1, 1, 1}, "white"},
      {{0, 0, 0, 1}, "black"},
  };
  for (const auto& n : names) {
    if (n.color.red == color.red && n.color.green == color.green && n.color.blue == color.blue) {
      return color.opacity == 1 ? std::string(n.name)
                                : std::string(n.name) + " " + percent(color.opacity);
    }
  }
  return "rgb(" + number(color.red) + ", " + number(color.green) + ", " + number(color.blue) + ")" +
         (color.opacity == 1 ? "" : " " + percent(color.opacity));
}

std::string renderText(const View& view, double now) {
  std::string out;
  describe(view, 0, now, out);
  return out;
}

std::string renderText(const Presentations& presentations, double now) {
  std::string out;
  auto section = [&](const std::string& title, const View& view) {
    out += title + "\n";
    describe(view, 1, now, out);
  };
  section("Lock screen", presentations.lockScreen);
  for (const auto& region : presentations.dynamicIsland.expanded) {
    section("Dynamic Island, expanded " + std::string(positionName(region.position)) +
                " (priority " + number(region.priority) + ")",
            region.content);
  }
  section("Dynamic Island, compact leading", presentations.dynamicIsland.compactLeading);
  section("Dynamic Island, compact trailing", presentations.dynamicIsland.compactTrailing);
  section("Dynamic Island, minimal", presentations.dynamicIsland.minimal);
  return out;
}

}  // namespace corvlin::host
