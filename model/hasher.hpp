// The hasher fed by the records' hashing: XXH3 64-bit, seeded; the state lives in the object
// (no heap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifndef XXH_STATIC_LINKING_ONLY
#define XXH_STATIC_LINKING_ONLY  // exposes XXH3_state_t so that it can live in the object
#endif
#include <xxhash.h>

#include "json/short_copy.hpp"

namespace corvlin {

class Hasher {
 public:
  // The byte that ends every string unit; it never occurs in UTF-8.
  static constexpr std::uint8_t stringDelimiter = 0xFF;
  // The byte that starts a long unit's digest; it never occurs in UTF-8 either.
  static constexpr std::uint8_t longUnitMark = 0xFE;
  static constexpr std::size_t longUnit = 256;

  explicit Hasher(std::uint64_t seed = 0) noexcept : seed_(seed) {}

  // A marker: one byte, 0 or 1 (or any other single byte, such as a boolean's 1 or 0).
  void marker(std::uint8_t value) noexcept {
    if (used_ < bufferSize) {
      buffer_[used_++] = value;
    } else {
      spill(&value, 1);
    }
  }
  // A word: 64 bits, in the machine's byte order.
  void word(std::uint64_t value) noexcept { append(&value, sizeof value); }
  // A string unit: the text's canonical decomposition (NFD) followed by stringDelimiter.
  // Canonically equivalent texts feed the same unit (text that is not valid UTF-8 feeds its own
  // bytes).
  void string(std::string_view text) {
    // Short ASCII text (most fields) inline: copied into the buffer while it is checked.
    if (text.size() <= 16 && text.size() < bufferSize - used_ &&
        copyShortAscii(buffer_ + used_, text.data(), text.size())) {
      used_ += text.size();
      buffer_[used_++] = stringDelimiter;
      return;
    }
    longerString(text);
  }

  // Copies `n` (at most 16) bytes and tells whether they were all ASCII, in overlapping words.
  static bool copyShortAscii(unsigned char* to, const char* from, std::size_t n) noexcept {
    constexpr std::uint64_t highBits = 0x8080808080808080ULL;
    std::uint64_t seen = 0;
    if (n >= 8) {
      const auto ends = words::loadEnds<std::uint64_t>(from, n);
      seen = ends.first | ends.last;
      words::storeEnds(to, n, ends);
    } else if (n >= 4) {
      const auto ends = words::loadEnds<std::uint32_t>(from, n);
      seen = ends.first | ends.last;
      words::storeEnds(to, n, ends);
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        seen |= static_cast<unsigned char>(from[i]);
        to[i] = static_cast<unsigned char>(from[i]);
      }
    }
    return (seen & highBits) == 0;
  }
  // Raw bytes, fed as they are.
  void bytes(const void* data, std::size_t size) noexcept { append(data, size); }

  // The hash of everything fed so far; feeding may go on afterwards.
  std::uint64_t finish() const noexcept;

  std::uint64_t seed() const noexcept { return seed_; }

 private:
  void append(const void* data, std::size_t size) noexcept {
    if (size <= bufferSize - used_) {
      std::memcpy(buffer_ + used_, data, size);
      used_ += size;
    } else {
      spill(data, size);
    }
  }
  // The rest of `string`: longer text, and text that is not ASCII.
  void longerString(std::string_view text);
  // Feeds one string unit's bytes (its decomposition, or the text that is not UTF-8).
  void unit(std::string_view form) noexcept;
  // Hands the buffer and then `data` to the XXH3 state, starting it on first use.
  void spill(const void* data, std::size_t size) noexcept;

  // Everything fed gathers here first. A record within the platform's 4 KB payload budget
  // fits, and is then hashed in one call at the end, which is what XXH3 is fastest at; the
  // streaming state (same result, dearer to start and finish) only starts once the buffer
  // overflows.
  static constexpr std::size_t bufferSize = 4096;
  std::uint64_t seed_;
  bool streaming_ = false;
  std::size_t used_ = 0;
  unsigned char buffer_[bufferSize];
  XXH3_state_t state_;
};

}  // namespace corvlin
