// Measuring whole texts: the cache a layout keeps, and the fixed-advance measurer of the
// layout's own tests, which breaks lines itself in one pass.
#include "layout/text_measure.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <cmath>

namespace corvlin::layout {
namespace {

constexpr std::string_view ellipsis = "\xE2\x80\xA6";  // …

bool isSpace(std::string_view cluster) { return cluster == " " || cluster == "\t"; }
bool isNewline(std::string_view cluster) {
  return !cluster.empty() && (cluster.front() == '\n' || cluster.front() == '\r');
}

// A line as a range of clusters, trailing spaces left out.
struct ClusterRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

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

MeasuredText CachedMeasurer::measure(std::string_view text, const TextFont& font,
                                     std::optional<double> width,
                                     std::optional<std::size_t> maxLines) {
  Key key{std::string(text),   font.size,         font.weight,       font.monospacedDigit,
          font.lineHeight,     width.has_value(), width.value_or(0), maxLines.has_value(),
          maxLines.value_or(0)};
  if (auto found = kept_.find(key); found != kept_.end()) return found->second;
  MeasuredText measured = inner_.measure(text, font, width, maxLines);
  kept_.emplace(std::move(key), measured);
  return measured;
}

MeasuredText FixedAdvanceMeasurer::measure(std::string_view text, const TextFont& font,
                                           std::optional<double> width,
                                           std::optional<std::size_t> maxLines) {
  const std::vector<std::size_t> starts = graphemeStarts(text);
  const std::size_t n = starts.size() - 1;
  auto cluster = [&](std::size_t i) { return text.substr(starts[i], starts[i + 1] - starts[i]); };
  const double advance = advance_ * font.size;
  const double room = width ? *width : INFINITY;
  // Clusters that fit in `room` (a line holds at least one).
  auto fitting = [&](double space) {
    return std::max<std::size_t>(1, static_cast<std::size_t>(std::floor(space / advance + 1e-9)));
  };
  const std::size_t perLine = advance > 0 && std::isfinite(room) ? fitting(room) : n + 1;

  // One pass: a line ends before the word that does not fit, or inside a word that alone is
  // wider than the line.
  std::vector<ClusterRange> lines;
  std::size_t lineStart = 0;
  std::size_t contentEnd = 0;  // the end of the line's last cluster that is not a space
  std::size_t wordStart = 0;   // where the line's last word starts (a break before it)
  std::size_t wordLead = 0;    // the end of what stands before that word, spaces left out
  for (std::size_t i = 0; i <= n; ++i) {
    if (i == n || isNewline(cluster(i))) {
      if (i < n || n > 0) lines.push_back({lineStart, contentEnd});
      lineStart = contentEnd = wordStart = wordLead = i + 1;
      continue;
    }
    if (isSpace(cluster(i))) continue;
    if (i > lineStart && isSpace(cluster(i - 1))) {
      wordStart = i;
      wordLead = contentEnd;
    }
    while (i + 1 - lineStart > perLine) {
      if (wordStart > lineStart && wordLead > lineStart) {
        lines.push_back({lineStart, wordLead});
        lineStart = wordStart;
      } else {
        lines.push_back({lineStart, lineStart + perLine});
        lineStart += perLine;
        wordStart = wordLead = lineStart;
      }
    }
    contentEnd = i + 1;
  }

  MeasuredText out;
  out.lineCount = lines.size();
  auto textOf = [&](std::size_t begin, std::size_t end) {
    return std::string(text.substr(starts[begin], starts[end] - starts[begin]));
  };
  const std::size_t shown = std::min(lines.size(), maxLines.value_or(lines.size()));
  for (std::size_t i = 0; i < shown; ++i) {
    const ClusterRange r = lines[i];
    out.lines.push_back({textOf(r.begin, r.end), static_cast<double>(r.end - r.begin) * advance});
  }
  if (shown < lines.size()) {
    out.truncated = true;
    if (shown > 0) {
      // The last line kept runs on with the rest of its paragraph, cut to fit with "…".
      const std::size_t begin = lines[shown - 1].begin;
      const std::size_t keep =
          std::isfinite(room) && advance > 0 ? fitting(room) - 1 : lines[shown - 1].end - begin;
      std::string last;
      std::size_t kept = 0;
      for (std::size_t i = begin; i < n && kept < keep && !isNewline(cluster(i)); ++i, ++kept) {
        last += cluster(i);
      }
      while (!last.empty() && last.back() == ' ') {
        last.pop_back();
        --kept;
      }
      out.lines.back() = {last + std::string(ellipsis), static_cast<double>(kept + 1) * advance};
    }
  }
  for (const auto& line : out.lines) out.size.width = std::max(out.size.width, line.width);
  out.size.height = static_cast<double>(out.lines.size()) * font.lineHeight;
  return out;
}

Budgeted withinBudget(std::string_view content) {
  if (content.size() <= textBudgetBytes) return {content, {}, false};
  const std::vector<std::size_t> starts = graphemeStarts(content.substr(0, textBudgetBytes + 1));
  // The last cluster start within the budget (the final entry is only the part's end).
  const std::size_t cut = starts.size() >= 2 ? starts[starts.size() - 2] : 0;
  Budgeted out;
  out.kept = std::string(content.substr(0, cut)) + "\xE2\x80\xA6";
  out.text = out.kept;
  out.cut = true;
  return out;
}
}  // namespace corvlin::layout
