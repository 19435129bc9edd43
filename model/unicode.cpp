#include "model/unicode.hpp"

#include <utf8proc.h>

#include <cstdlib>
#include <cstring>

namespace corvlin::unicode {

bool isTriviallyNormalized(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t n = text.size();
  // Long texts in blocks of 256 bytes reduced to their largest byte without a branch inside,
  // which the compiler turns into vector maxima.
  for (; n >= 256; p += 256, n -= 256) {
    unsigned char largest = 0;
    for (std::size_t i = 0; i < 256; ++i) largest = p[i] > largest ? p[i] : largest;
    if (largest >= 0xCC) return false;
  }
  // Then eight bytes at a time while they are ASCII (the common case); a word with a high bit
  // set is checked byte by byte.
  constexpr std::uint64_t high = 0x8080808080808080ULL;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if ((word & high) != 0) {
      for (int i = 0; i < 8; ++i) {
        if (p[i] >= 0xCC) return false;
      }
    }
  }
  for (; n > 0; --n, ++p) {
    if (*p >= 0xCC) return false;
  }
  return true;
}

void NfcText::Free::operator()(std::uint8_t* p) const noexcept { std::free(p); }

NfcText::NfcText(std::string_view text) : view_(text) {
  if (isTriviallyNormalized(text)) return;
  utf8proc_uint8_t* out = nullptr;
  // Explicit length (no UTF8PROC_NULLTERM): an embedded NUL is a character like any other.
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &out,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (length < 0) {  // not valid UTF-8: keep the bytes as they are
    std::free(out);
    return;
  }
  owned_.reset(out);
  view_ = std::string_view(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const bool aTrivial = isTriviallyNormalized(a);
  const bool bTrivial = isTriviallyNormalized(b);
  // Both already in NFC and different: not equivalent. One trivial text may still be
  // equivalent to a non-trivial one (U+212A KELVIN SIGN is "K"), so that case normalizes.
  if (aTrivial && bTrivial) return false;
  const NfcText na(a);
  const NfcText nb(b);
  return na.view() == nb.view();
}

}  // namespace corvlin::unicode
