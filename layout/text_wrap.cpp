#include "layout/text_wrap.hpp"

#include <utf8proc.h>

#include <limits>

namespace corvlin::layout {
namespace {

constexpr std::string_view ellipsis = "\xE2\x80\xA6";  // …

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view trimEnd(std::string_view s) {
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

struct Breaker {
  const TextFont& font;
  TextMeasurer& measurer;
  double maxWidth;
  std::vector<std::string> lines;

  bool fits(std::string_view line) { return measurer.width(trimEnd(line), font) <= maxWidth; }

  // A word wider than the line: as many grapheme clusters as fit (at least one) per line.
  std::string_view breakWord(std::string_view word) {
    const std::vector<std::size_t> starts = graphemeStarts(word);
    std::size_t cut = starts.size() > 1 ? starts[1] : word.size();
    for (std::size_t i = 2; i < starts.size(); ++i) {
      if (!fits(word.substr(0, starts[i]))) break;
      cut = starts[i];
    }
    lines.emplace_back(trimEnd(word.substr(0, cut)));
    return word.substr(cut);
  }

  void paragraph(std::string_view text) {
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
      // A word with the spaces after it.
      std::size_t end = at;
      while (end < text.size() && !isSpace(text[end])) ++end;
      while (end < text.size() && isSpace(text[end])) ++end;
      std::string_view word = text.substr(at, end - at);
      at = end;
      if (fits(line + std::string(word))) {
        line += word;
        continue;
      }
      if (!line.empty()) {
        lines.emplace_back(trimEnd(line));
        line.clear();
      }
      while (!word.empty() && !fits(word)) word = breakWord(word);
      line = std::string(word);
    }
    lines.emplace_back(trimEnd(line));
  }
};

// The longest start of `text` that fits `maxWidth` with "…" after it.
std::string truncated(std::string_view text, const TextFont& font, double maxWidth,
                      TextMeasurer& measurer) {
  const std::vector<std::size_t> starts = graphemeStarts(text);
  std::string best(ellipsis);
  for (std::size_t i = 1; i < starts.size(); ++i) {
    std::string candidate = std::string(trimEnd(text.substr(0, starts[i]))) + std::string(ellipsis);
    if (measurer.width(candidate, font) > maxWidth) break;
    best = std::move(candidate);
  }
  return best;
}

}  // namespace

std::vector<std::size_t> graphemeStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  utf8proc_ssize_t at = 0;
  utf8proc_int32_t previous = -1;
  utf8proc_int32_t state = 0;
  while (at < size) {
    utf8proc_int32_t c = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &c);
    if (length <= 0) {  // a malformed byte is a cluster of its own
      length = 1;
      c = -1;
    }
    if (previous < 0 || c < 0 || utf8proc_grapheme_break_stateful(previous, c, &state)) {
      starts.push_back(static_cast<std::size_t>(at));
    }
    previous = c < 0 ? -1 : c;
    at += length;
  }
  starts.push_back(text.size());
  return starts;
}

WrappedText wrapText(std::string_view text, const TextFont& font, std::optional<double> maxWidth,
                     std::size_t maxLines, TextMeasurer& measurer) {
  Breaker breaker{font, measurer, maxWidth.value_or(std::numeric_limits<double>::infinity()), {}};
  std::vector<std::string_view> paragraphs;
  for (std::size_t start = 0;;) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) {
      paragraphs.push_back(text.substr(start));
      break;
    }
    paragraphs.push_back(text.substr(start, newline - start));
    start = newline + 1;
  }
  for (std::string_view p : paragraphs) breaker.paragraph(p);

  WrappedText out;
  out.lines = std::move(breaker.lines);
  if (maxLines == 0) maxLines = 1;
  if (out.lines.size() > maxLines) {
    // The last line kept runs on with what follows, cut to fit with "…".
    std::string last = out.lines[maxLines - 1] + " " + out.lines[maxLines];
    out.lines.resize(maxLines);
    out.lines.back() = truncated(last, font, breaker.maxWidth, measurer);
    out.truncated = true;
  }
  out.widths.reserve(out.lines.size());
  for (const auto& line : out.lines) out.widths.push_back(measurer.width(line, font));
  return out;
}

double FixedAdvanceMeasurer::width(std::string_view text, const TextFont& font) {
  std::size_t clusters = graphemeStarts(text).size() - 1;
  return static_cast<double>(clusters) * advance_ * font.size;
}

}  // namespace corvlin::layout
