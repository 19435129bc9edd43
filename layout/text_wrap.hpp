// Breaking a text into lines that fit a width, and cutting it with "…" when the lines do not
// fit the height.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.hpp"

namespace corvlin::layout {

struct WrappedText {
  std::vector<std::string> lines;
  std::vector<double> widths;
  bool truncated = false;
};

// Lines break at explicit newlines, between words, and inside a word (between grapheme
// clusters) only when the word alone is wider than `maxWidth`. Without `maxWidth` only newlines
// break. More lines than `maxLines` keep the first `maxLines`, the last ending in "…".
WrappedText wrapText(std::string_view text, const TextFont& font, std::optional<double> maxWidth,
                     std::size_t maxLines, TextMeasurer& measurer);

// The byte offsets where grapheme clusters of `text` start, and its size last.
std::vector<std::size_t> graphemeStarts(std::string_view text);

}  // namespace corvlin::layout
