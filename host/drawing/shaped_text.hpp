// One text's shaping pass, which the fonts keep for the widths a layout asks it at: every
// character's advance and where lines may break, read from one unwrapped Pango layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/drawing/fonts.hpp"

namespace corvlin::host::drawing {

struct Fonts::Shaped {
  // What Pango says may happen before a character.
  enum Break : std::uint8_t {
    lineBreak = 1,  // a line may break here (between words)
    charBreak = 2,  // a line may break here when a word alone is too wide (between clusters)
    mandatory = 4,  // a new paragraph starts here
    white = 8,      // the character is a space, which hangs at the end of a line
  };

  std::string text;
  layout::TextFont font;
  std::vector<double> before;        // per character and at the end: the advances before it
  std::vector<std::size_t> byteOf;   // per character and at the end: its byte offset
  std::vector<std::uint8_t> breaks;  // per character and at the end: Break flags
  std::vector<layout::MeasuredLine> paragraphs;  // the unwrapped layout's lines
  std::size_t unknownGlyphs = 0;
  bool rightToLeft = false;  // some run is laid out right to left
};

}  // namespace corvlin::host::drawing
