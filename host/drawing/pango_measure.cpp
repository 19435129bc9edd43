// Texts laid out by Pango in time linear in their length. One shaping pass of a text (an
// unwrapped layout) gives every character's advance and Pango's break opportunities; counting
// lines greedily on them tells how many lines the whole text needs at a width, and where the
// lines that can show end. Pango then lays out only that start of the text, with the width, the
// lines available and an ellipsis at the end: it breaks every line shown, but never meets more
// text than a few lines hold (breaking inside one long word costs it time growing with the
// square of what it is given).
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "host/drawing/shaped_text.hpp"

namespace corvlin::host::drawing {
namespace {

using Shaped = Fonts::Shaped;
constexpr std::string_view ellipsis = "\xE2\x80\xA6";  // …
constexpr std::string_view paragraphSeparator = "\xE2\x80\xA9";

double points(double units) { return units / PANGO_SCALE; }

bool endsParagraph(std::string_view text) {
  return !text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.ends_with(paragraphSeparator));
}

// The end of the bytes [begin, end) without the paragraph delimiter (and, with `spaces`, the
// spaces) at their end.
std::size_t trimmedEnd(std::string_view text, std::size_t begin, std::size_t end) {
  while (end > begin) {
    const char c = text[end - 1];
    if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
      --end;
    } else if (end - begin >= 3 && text.substr(end - 3, 3) == paragraphSeparator) {
      end -= 3;
    } else {
      break;
    }
  }
  return end;
}

// The width of the bytes [begin, end) of a laid-out line, as drawn.
double rangeWidth(PangoLayoutLine* line, std::size_t begin, std::size_t end) {
  if (end <= begin) return 0;
  int* ranges = nullptr;
  int count = 0;
  pango_layout_line_get_x_ranges(line, static_cast<int>(begin), static_cast<int>(end), &ranges,
                                 &count);
  double width = 0;
  const auto pairs = static_cast<std::size_t>(std::max(count, 0));
  for (std::size_t i = 0; i < pairs; ++i) width += ranges[2 * i + 1] - ranges[2 * i];
  g_free(ranges);
  return points(width);
}

struct LaidLine {
  layout::MeasuredLine line;
  bool ellipsized = false;
  std::size_t start = 0;  // its first byte in the text laid out
};

// Pango lays the lines out a few at a time, each run starting where the last one's lines ended
// and given its lines and one more: the text it breaks at once never grows with the lines
// available (breaking inside a long word costs it time growing with the square of what it is
// given). A text with right-to-left runs is laid out in one run, from its paragraphs' starts,
// which set their direction.
constexpr std::size_t linesPerRun = 4;

// The lines of a layout of `text`: each without its trailing spaces, or ending in "…" where Pango
// cut it.
std::vector<LaidLine> linesOf(PangoLayout* layout, std::string_view text) {
  std::vector<LaidLine> out;
  for (GSList* it = pango_layout_get_lines_readonly(layout); it; it = it->next) {
    auto* line = static_cast<PangoLayoutLine*>(it->data);
    const auto start = static_cast<std::size_t>(line->start_index);
    std::size_t end = start + static_cast<std::size_t>(line->length);
    LaidLine laid;
    laid.start = start;
    for (GSList* r = line->runs; r; r = r->next) {
      const PangoItem* item = static_cast<PangoGlyphItem*>(r->data)->item;
      if (item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) {
        laid.ellipsized = true;
        end = std::min(end, static_cast<std::size_t>(item->offset));
      }
    }
    if (laid.ellipsized) {
      PangoRectangle logical{};
      pango_layout_line_get_extents(line, nullptr, &logical);
      // The spaces before the ellipsis are not drawn: "is…", not "is …".
      const std::size_t kept = trimmedEnd(text, start, end);
      laid.line = {std::string(text.substr(start, kept - start)) + std::string(ellipsis),
                   points(logical.width)};
    } else {
      const std::size_t kept = trimmedEnd(text, start, end);
      laid.line = {std::string(text.substr(start, kept - start)), rangeWidth(line, start, kept)};
    }
    out.push_back(std::move(laid));
  }
  return out;
}

// The lines the text needs at `width`, breaking greedily as Pango does (between words, and
// between clusters when a word alone is too wide), and the first `keep` lines' first characters.
struct LineCount {
  std::size_t lines = 0;
  std::vector<std::size_t> starts;
};

LineCount countLines(const Shaped& s, double width, std::size_t keep) {
  LineCount count;
  if (s.text.empty()) return count;
  auto begin = [&](std::size_t at) {
    ++count.lines;
    if (count.starts.size() < keep) count.starts.push_back(at);
  };
  begin(0);
  const std::size_t n = s.before.size() - 1;
  const double room = width + 1e-3;  // Pango's widths are whole units of 1/1024 point
  std::size_t start = 0;
  std::size_t lastBreak = 0;
  std::size_t lastChar = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t flags = s.breaks[i];
    if (i > start && (flags & Shaped::mandatory)) {
      start = lastBreak = lastChar = i;
      begin(i);
    } else if (i > start) {
      if (flags & Shaped::lineBreak) lastBreak = i;
      if (flags & Shaped::charBreak) lastChar = i;
    }
    if (flags & Shaped::white) continue;
    while (s.before[i + 1] - s.before[start] > room) {
      const std::size_t next = lastBreak > start ? lastBreak : lastChar > start ? lastChar : start;
      if (next == start) break;  // one cluster wider than the line stands alone
      start = next;
      begin(start);
    }
  }
  if (endsParagraph(s.text)) begin(n);
  return count;
}

// `text` as Pango takes it: valid UTF-8 with no NUL.
std::string validText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\0') {
      out += "\xEF\xBF\xBD";
    } else {
      out += c;
    }
  }
  if (g_utf8_validate_len(out.data(), out.size(), nullptr)) return out;
  gchar* valid = g_utf8_make_valid(out.data(), static_cast<gssize>(out.size()));
  std::string fixed(valid);
  g_free(valid);
  return fixed;
}

}  // namespace

const Fonts::Shaped& Fonts::shaped(std::string_view text, const layout::TextFont& font) {
  for (auto it = shaped_.rbegin(); it != shaped_.rend(); ++it) {
    if ((*it)->text == text && (*it)->font == font) return **it;
  }
  auto s = std::make_unique<Shaped>();
  s->text = std::string(text);
  s->font = font;
  PangoLayout* layout = textLayout(s->text, font);
  int attrCount = 0;
  const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(layout, &attrCount);
  const auto n = static_cast<std::size_t>(std::max(1, attrCount) - 1);
  s->byteOf.resize(n + 1);
  s->breaks.resize(n + 1);
  std::vector<std::size_t> charAt(s->text.size() + 1, 0);
  std::size_t byte = 0;
  for (std::size_t i = 0; i <= n; ++i) {
    s->byteOf[i] = std::min(byte, s->text.size());
    if (byte < charAt.size()) charAt[byte] = i;
    const PangoLogAttr& a = attrs[i];
    s->breaks[i] = static_cast<std::uint8_t>(
        (a.is_line_break ? Shaped::lineBreak : 0) | (a.is_char_break ? Shaped::charBreak : 0) |
        (a.is_mandatory_break ? Shaped::mandatory : 0) | (a.is_white ? Shaped::white : 0));
    if (i < n) {
      byte = static_cast<std::size_t>(g_utf8_next_char(s->text.data() + byte) - s->text.data());
    }
  }
  std::vector<double> advance(n, 0);
  std::vector<int> widths;
  for (GSList* it = pango_layout_get_lines_readonly(layout); it; it = it->next) {
    auto* line = static_cast<PangoLayoutLine*>(it->data);
    for (GSList* r = line->runs; r; r = r->next) {
      auto* run = static_cast<PangoGlyphItem*>(r->data);
      const auto chars = static_cast<std::size_t>(run->item->num_chars);
      const std::size_t first = charAt[static_cast<std::size_t>(run->item->offset)];
      if (run->item->analysis.level % 2 == 1) s->rightToLeft = true;
      widths.assign(chars, 0);
      pango_glyph_item_get_logical_widths(run, s->text.data(), widths.data());
      for (std::size_t k = 0; k < chars && first + k < n; ++k) {
        advance[first + k] = points(widths[k]);
      }
    }
  }
  s->before.assign(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) s->before[i + 1] = s->before[i] + advance[i];
  for (const LaidLine& line : linesOf(layout, s->text)) s->paragraphs.push_back(line.line);
  s->unknownGlyphs =
      static_cast<std::size_t>(std::max(0, pango_layout_get_unknown_glyphs_count(layout)));
  g_object_unref(layout);
  if (shaped_.size() >= shapedKept) shaped_.erase(shaped_.begin());
  shaped_.push_back(std::move(s));
  return *shaped_.back();
}

layout::MeasuredText Fonts::measure(std::string_view raw, const layout::TextFont& font,
                                    std::optional<double> lineWidth,
                                    std::optional<std::size_t> maxLines) {
  layout::MeasuredText out;
  if (raw.empty()) return out;
  const std::string text = validText(raw);
  const Shaped& s = shaped(text, font);
  out.unknownGlyphs = s.unknownGlyphs;
  const std::size_t n = s.before.size() - 1;
  const std::size_t limit = maxLines.value_or(SIZE_MAX);
  // No line of a text within the budget is a million points wide: a wider proposal (which
  // Pango's int would not hold) breaks nothing.
  if (lineWidth && !(*lineWidth * PANGO_SCALE < INT_MAX / 2)) lineWidth.reset();

  if (!lineWidth) {
    // Lines break only at newlines: the shaping pass's own lines.
    out.lineCount = s.paragraphs.size();
    const std::size_t shown = std::min(limit, s.paragraphs.size());
    out.lines.assign(s.paragraphs.begin(), s.paragraphs.begin() + static_cast<long>(shown));
    out.truncated = shown < s.paragraphs.size();
    if (out.truncated && shown > 0) {
      std::string& last = out.lines.back().text;
      last += ellipsis;
      out.lines.back().width = this->width(last, font);
    }
  } else {
    const LineCount count = countLines(s, *lineWidth, std::min(limit, n) + 2);
    out.lineCount = count.lines;
    out.truncated = limit == 0;
    if (limit > 0) {
      const std::size_t run = s.rightToLeft ? limit : linesPerRun;
      std::vector<LaidLine> lines;
      bool whole = false;
      bool ellipsized = false;
      std::size_t at = 0;  // the byte where the next run starts
      for (;;) {
        const std::size_t want = std::min(run, limit - lines.size());
        const bool final = want == limit - lines.size();  // cut with "…" when more follows
        // The lines of this run and one more, by the count; more if Pango fits more on a line.
        const std::size_t through = lines.size() + want + 1;
        std::size_t upTo = count.lines > through ? count.starts[through] : n;
        std::vector<LaidLine> got;
        bool cut = false;
        for (;;) {
          while (s.byteOf[upTo] <= at && upTo < n) upTo = std::min(n, 2 * upTo + 1);
          const std::string_view part =
              std::string_view(text).substr(at, s.byteOf[upTo] - std::min(at, s.byteOf[upTo]));
          whole = at + part.size() == text.size();
          PangoLayout* layout = textLayout(part, font);
          pango_layout_set_width(layout, static_cast<int>(std::floor(*lineWidth * PANGO_SCALE)));
          pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
          if (final && want < static_cast<std::size_t>(INT_MAX)) {
            pango_layout_set_height(layout, -static_cast<int>(want));
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
          }
          got = linesOf(layout, part);
          cut = pango_layout_is_ellipsized(layout);
          g_object_unref(layout);
          if (whole || cut || got.size() > want) break;
          upTo = std::min(n, 2 * upTo + 1);
        }
        if (final || got.size() <= want) {
          ellipsized = cut;
          for (auto& line : got) lines.push_back(std::move(line));
          break;
        }
        const std::size_t next = at + got[want].start;
        got.resize(want);
        for (auto& line : got) lines.push_back(std::move(line));
        at = next;
      }
      out.truncated = ellipsized || lines.size() > limit || !whole;
      if (lines.size() > limit) lines.resize(limit);
      if (out.truncated && !lines.back().ellipsized) {
        // The last line kept ends a paragraph and more follows: it ends in "…" too, cut to fit.
        const std::string last = lines.back().line.text + std::string(ellipsis);
        PangoLayout* layout = textLayout(last, font);
        pango_layout_set_width(layout, static_cast<int>(std::floor(*lineWidth * PANGO_SCALE)));
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        lines.back() = linesOf(layout, last).front();
        g_object_unref(layout);
      }
      for (auto& line : lines) out.lines.push_back(std::move(line.line));
      out.lineCount =
          out.truncated ? std::max(count.lines, out.lines.size() + 1) : out.lines.size();
    }
  }
  for (const auto& line : out.lines) out.size.width = std::max(out.size.width, line.width);
  out.size.height = static_cast<double>(out.lines.size()) * font.lineHeight;
  return out;
}

}  // namespace corvlin::host::drawing
