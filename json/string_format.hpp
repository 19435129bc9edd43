// JSON string literals: which texts need no escaping, and the escaping of those that do.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json/short_copy.hpp"

namespace corvlin::json {

// Appends `text` as a JSON string literal: quotes and backslashes escaped, control characters
// as short escapes or \u00XX, non-ASCII written as raw UTF-8. A byte that is not part of valid
// UTF-8 is written as U+FFFD (as repairUtf8 in utf8.hpp does), so that the output is always
// valid JSON.
void appendString(std::string& out, std::string_view text);

namespace detail {

// The bytes that a string literal holds as they are: printable ASCII but the quote and the
// backslash.
inline constexpr std::array<bool, 256> plainBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0x20; c < 0x80; ++c) table[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return table;
}();

// True when no byte of the word has its high bit set, is below 0x20, or equals '"' or '\\'
// (the classic "has a zero byte" test applied to the word and to its XORs with those two).
constexpr bool isPlainWord(std::uint64_t w) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highs = 0x8080808080808080ULL;
  const auto hasZeroByte = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
  return ((w & highs) | ((w - ones * 0x20) & ~w & highs) | hasZeroByte(w ^ (ones * '"')) |
          hasZeroByte(w ^ (ones * '\\'))) == 0;
}

// True when every byte of `text` is plain.
bool isPlain(std::string_view text) noexcept;

// Copies a text of at most 16 bytes to `to` when it is plain, reading it as (overlapping) words
// that are checked and stored as they are; false, with `to` unspecified, when it is not plain.
[[gnu::always_inline]] inline bool copyShortPlain(char* to, const char* from,
                                                  std::size_t n) noexcept {
  if (n >= 8) {
    const auto ends = words::loadEnds<std::uint64_t>(from, n);
    if (!isPlainWord(ends.first) || !isPlainWord(ends.last)) return false;
    words::storeEnds(to, n, ends);
    return true;
  }
  if (n >= 4) {
    const auto ends = words::loadEnds<std::uint32_t>(from, n);
    if (!isPlainWord(ends.first | (std::uint64_t{ends.last} << 32))) return false;
    words::storeEnds(to, n, ends);
    return true;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!plainBytes[static_cast<unsigned char>(from[i])]) return false;
    to[i] = from[i];
  }
  return true;
}

}  // namespace detail
}  // namespace corvlin::json
