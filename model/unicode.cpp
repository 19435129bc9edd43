#include "model/unicode.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace corvlin::unicode {

namespace {

constexpr std::int32_t hangulFirst = 0xAC00;
constexpr std::int32_t hangulLast = 0xD7A3;

// Decodes the valid UTF-8 sequence at `s` (s[0] >= 0x80) into `cp`; its length, or 0 when it is
// not one (bad lead, bad continuation, overlong, surrogate, beyond U+10FFFF, or cut short).
std::size_t decodeSequence(const unsigned char* s, std::size_t n, std::int32_t& cp) noexcept {
  const unsigned char lead = s[0];
  const auto cont = [&](std::size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (!cont(1)) return 0;
    cp = ((lead & 0x1F) << 6) | (s[1] & 0x3F);
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (lead == 0xE0 && s[1] < 0xA0) return 0;  // overlong
    if (lead == 0xED && s[1] > 0x9F) return 0;  // surrogate
    cp = ((lead & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (lead == 0xF0 && s[1] < 0x90) return 0;  // overlong
    if (lead == 0xF4 && s[1] > 0x8F) return 0;  // beyond U+10FFFF
    cp = ((lead & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F);
    return 4;
  }
  return 0;
}

std::size_t encode(std::int32_t cp, char* out) noexcept {
  return static_cast<std::size_t>(
      utf8proc_encode_char(cp, reinterpret_cast<utf8proc_uint8_t*>(out)));
}

int combiningClass(std::int32_t cp) noexcept { return utf8proc_get_property(cp)->combining_class; }

// The output under construction, and the run of marks (nonzero combining class) at its end,
// which canonical ordering sorts by class.
class Decomposition {
 public:
  explicit Decomposition(char* out) : out_(out) {}

  // Bytes that are starters, copied as they are.
  void starters(const char* bytes, std::size_t size) noexcept {
    if (size == 0) return;
    std::memcpy(out_ + size_, bytes, size);
    size_ += size;
    runStart_ = noRun;
  }

  // One code point of the decomposition; `bytes` is its UTF-8 form when the caller has it.
  void codePoint(std::int32_t cp, int ccc, std::string_view bytes) noexcept {
    const std::size_t at = size_;
    if (!bytes.empty()) {
      std::memcpy(out_ + size_, bytes.data(), bytes.size());
      size_ += bytes.size();
    } else {
      size_ += encode(cp, out_ + size_);
    }
    if (ccc == 0) {
      runStart_ = noRun;
      return;
    }
    if (runStart_ == noRun) {
      runStart_ = at;
    } else if (ccc < lastCcc_) {
      sortRun();
      return;
    }
    lastCcc_ = ccc;
  }

  std::size_t size() const noexcept { return size_; }

 private:
  static constexpr std::size_t noRun = static_cast<std::size_t>(-1);

  // Rare: a mark arrived after one of a higher class. Stable sort of the run by class.
  void sortRun() noexcept {
    struct Mark {
      int ccc;
      std::int32_t cp;
    };
    std::array<Mark, 64> small;
    std::unique_ptr<Mark[]> large;
    const std::size_t bytes = size_ - runStart_;
    Mark* marks = small.data();
    if (bytes > small.size()) {  // at least one byte per mark
      large.reset(new (std::nothrow) Mark[bytes]);
      if (!large) return;  // leaves the run unsorted rather than fail
      marks = large.get();
    }
    std::size_t count = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(out_ + runStart_);
    for (std::size_t i = 0; i < bytes;) {
      std::int32_t cp = s[i];
      i += s[i] < 0x80 ? 1 : decodeSequence(s + i, bytes - i, cp);
      marks[count++] = {combiningClass(cp), cp};
    }
    std::stable_sort(marks, marks + count,
                     [](const Mark& a, const Mark& b) { return a.ccc < b.ccc; });
    std::size_t at = runStart_;
    for (std::size_t i = 0; i < count; ++i) at += encode(marks[i].cp, out_ + at);
    lastCcc_ = marks[count - 1].ccc;
  }

  char* out_;
  std::size_t size_ = 0;
  std::size_t runStart_ = noRun;
  int lastCcc_ = 0;
};

}  // namespace

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

std::size_t decompose(std::string_view text, char* out) noexcept {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  Decomposition result(out);
  std::size_t run = 0;  // start of the pending stretch of starters copied verbatim
  for (std::size_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    std::int32_t cp = 0;
    const std::size_t length = decodeSequence(s + i, n - i, cp);
    if (length == 0) return notUtf8;
    const utf8proc_property_t* property = utf8proc_get_property(cp);
    const bool decomposes =
        (property->decomp_seqindex != UINT16_MAX && property->decomp_type == 0) ||
        (cp >= hangulFirst && cp <= hangulLast);
    if (!decomposes && property->combining_class == 0) {
      i += length;  // a starter that stays as it is
      continue;
    }
    result.starters(text.data() + run, i - run);
    if (!decomposes) {
      result.codePoint(cp, property->combining_class, text.substr(i, length));
    } else {
      // A full canonical decomposition has at most four code points (U+1F82 and the like).
      std::array<utf8proc_int32_t, 8> parts;
      int boundclass = 0;
      const utf8proc_ssize_t count =
          utf8proc_decompose_char(cp, parts.data(), static_cast<utf8proc_ssize_t>(parts.size()),
                                  UTF8PROC_DECOMPOSE, &boundclass);
      if (count < 0 || static_cast<std::size_t>(count) > parts.size()) return notUtf8;
      for (utf8proc_ssize_t k = 0; k < count; ++k) {
        const std::int32_t part = parts[static_cast<std::size_t>(k)];
        result.codePoint(part, combiningClass(part), {});
      }
    }
    i += length;
    run = i;
  }
  result.starters(text.data() + run, n - run);
  return result.size();
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  // Both already in NFC and different: not equivalent. One trivial text may still be
  // equivalent to a non-trivial one (U+212A KELVIN SIGN is "K"), so that case decomposes.
  if (isTriviallyNormalized(a) && isTriviallyNormalized(b)) return false;
  // Short texts decompose on the stack.
  constexpr std::size_t stackBytes = 512;
  std::array<char, stackBytes> stackA;
  std::array<char, stackBytes> stackB;
  std::vector<char> heapA;
  std::vector<char> heapB;
  const auto room = [](std::string_view text, std::array<char, stackBytes>& stack,
                       std::vector<char>& heap) {
    if (maxDecomposedSize(text.size()) <= stackBytes) return stack.data();
    heap.resize(maxDecomposedSize(text.size()));
    return heap.data();
  };
  char* outA = room(a, stackA, heapA);
  char* outB = room(b, stackB, heapB);
  const std::size_t sizeA = decompose(a, outA);
  const std::size_t sizeB = decompose(b, outB);
  const std::string_view formA = sizeA == notUtf8 ? a : std::string_view(outA, sizeA);
  const std::string_view formB = sizeB == notUtf8 ? b : std::string_view(outB, sizeB);
  return formA == formB;
}

}  // namespace corvlin::unicode
