// Canonical equivalence of UTF-8 text: the canonical decomposition, computed only where it can
// change anything.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvlin::unicode {

// True when every byte is below 0xCC, i.e. (for valid UTF-8) every code point is below U+0300.
// Such text is already in NFC: no code point below U+0300 decomposes under NFC, combines with a
// neighbour, or has a nonzero combining class. ASCII is the common case of it.
bool isTriviallyNormalized(std::string_view text) noexcept;

// The most bytes the canonical decomposition of `size` bytes of UTF-8 can take: NFD grows UTF-8
// text at most threefold.
constexpr std::size_t maxDecomposedSize(std::size_t size) noexcept { return 3 * size; }

// Writes the canonical decomposition (NFD) of `text` to `out`, which has room for
// maxDecomposedSize(text.size()) bytes, and returns its size; returns notUtf8, with `out`
// unspecified, when `text` is not valid UTF-8. Code points that neither decompose nor combine
// are copied as they are; only marks out of canonical order are ever re-encoded.
inline constexpr std::size_t notUtf8 = static_cast<std::size_t>(-1);
std::size_t decompose(std::string_view text, char* out) noexcept;

// True when the two texts are the same under Unicode canonical equivalence (equal canonical
// decompositions). Byte-equal texts are equal without decomposing; two trivially normalized
// texts that differ in bytes are unequal without decomposing. Text that is not valid UTF-8
// compares by its bytes.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

}  // namespace corvlin::unicode
