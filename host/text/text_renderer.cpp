#include "host/text/text_renderer.hpp"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "host/text/timer_format.hpp"
#include "json/writer.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::host {
namespace {

using namespace ui;

// Shortest round-trip form, as every number the project writes.
std::string number(double value) {
  std::string out;
  json::appendNumber(out, value);
  return out;
}

std::string percent(double fraction) { return number(std::round(fraction * 1000) / 10) + "%"; }

// "top leading", "bottom", "centred": the axes that are not centred, vertical first.
std::string alignmentName(const Alignment& a) {
  std::string_view h;
  switch (a.horizontal) {
    case HorizontalAlignment::leading:
    case HorizontalAlignment::trailing:
      h = name(a.horizontal);
      break;
    case HorizontalAlignment::center:
      break;
  }
  std::string_view v;
  switch (a.vertical) {
    case VerticalAlignment::top:
    case VerticalAlignment::bottom:
      v = name(a.vertical);
      break;
    case VerticalAlignment::center:
      break;
  }
  std::string words(v);
  if (!v.empty() && !h.empty()) words += ' ';
  words += h;
  return words.empty() ? "centred" : words;
}

std::string edgesName(Edges edges) {
  if (edges == allEdges) return "";
  std::string out;
  forEachValue<Edge>([&](Edge edge) {
    if ((edges & edge) == 0) return;
    if (!out.empty()) out += '+';
    out += name(edge);
  });
  return out + " ";
}

std::string fontName(const Font& font) {
  std::string out(name(font.style));
  if (font.weight) out += " semibold";
  if (font.monospacedDigit) out += " monospaced-digit";
  return out;
}

std::string_view textAlignmentWord(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::leading:
      return "leading";
    case TextAlignment::center:
      return "centred";
    case TextAlignment::trailing:
      return "trailing";
  }
  return {};
}

std::string_view directionWord(LayoutDirection direction) {
  switch (direction) {
    case LayoutDirection::leftToRight:
      return "left-to-right";
    case LayoutDirection::rightToLeft:
      return "right-to-left";
  }
  return {};
}

std::string modifierText(const Modifier& modifier, double now);

void describe(const View& view, int depth, double now, std::string& out);

std::string joinNotes(const Modifiers& modifiers, double now) {
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
          return "lines " + std::string(textAlignmentWord(m.alignment));
        } else if constexpr (std::is_same_v<M, LayoutDirectionModifier>) {
          return std::string(directionWord(m.value));
        } else if constexpr (std::is_same_v<M, ActivityBackgroundTint>) {
          return "background tint " + colorName(m.color);
        } else {
          static_assert(std::is_same_v<M, ActivitySystemActionForegroundColor>);
          return "system action colour " + colorName(m.color);
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
        } else if constexpr (std::is_same_v<K, TimerText> || std::is_same_v<K, Circle> ||
                             std::is_same_v<K, Capsule> || std::is_same_v<K, EmptyView>) {
          // No words: a label's timer or shape shows in the lines below the button's.
        } else {
          static_assert(std::is_same_v<K, Link>);
          flattenLabel(*k.label, out);
        }
      },
      view.kind);
}

void describe(const View& view, int depth, double now, std::string& out) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  const Views* children = nullptr;
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
          static_assert(std::is_same_v<K, Link>);
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

}  // namespace

std::string colorName(const Color& color) {
  if (const auto named = ui::namedColor(color.withOpacity(1))) {
    return color.opacity == 1 ? std::string(*named)
                              : std::string(*named) + " " + percent(color.opacity);
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
    section("Dynamic Island, expanded " + std::string(name(region.position)) + " (priority " +
                number(region.priority) + ")",
            region.content);
  }
  section("Dynamic Island, compact leading", presentations.dynamicIsland.compactLeading);
  section("Dynamic Island, compact trailing", presentations.dynamicIsland.compactTrailing);
  section("Dynamic Island, minimal", presentations.dynamicIsland.minimal);
  return out;
}

}  // namespace corvlin::host
