// UTF-8 as the JSON writer holds it: the valid sequences, and the repair of text that is not.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvlin::json {

// Length of the valid UTF-8 sequence at the start of `s` (s non-empty, s[0] >= 0x80),
// or 0 when it is not a valid sequence (bad lead, bad continuation, overlong, surrogate,
// beyond U+10FFFF, or cut short).
inline std::size_t validSequenceLength(const unsigned char* s, std::size_t n) noexcept {
  const unsigned char lead = s[0];
  auto cont = [&](std::size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) return cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (lead == 0xE0 && s[1] < 0xA0) return 0;  // overlong
    if (lead == 0xED && s[1] > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (lead == 0xF0 && s[1] < 0x90) return 0;  // overlong
    if (lead == 0xF4 && s[1] > 0x8F) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

// U+FFFD, written in place of each byte that is not part of valid UTF-8.
inline constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The offset of the first byte of `text` that is not part of valid UTF-8; absent when all are.
std::optional<std::size_t> firstInvalidUtf8(std::string_view text) noexcept;

// `text` with each byte that is not part of valid UTF-8 replaced by U+FFFD, as appendString
// writes it: for text from outside (a request's path) that is logged or drawn.
std::string repairUtf8(std::string_view text);

}  // namespace corvlin::json
