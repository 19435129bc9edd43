// The hasher fed by the records' hashing: XXH3 64-bit, seeded, streaming; the state lives in
// the object (no heap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifndef XXH_STATIC_LINKING_ONLY
#define XXH_STATIC_LINKING_ONLY  // exposes XXH3_state_t so that it can live in the object
#endif
#include <xxhash.h>

namespace corvlin {

class Hasher {
 public:
  // The byte that ends every string unit; it never occurs in UTF-8.
  static constexpr std::uint8_t stringDelimiter = 0xFF;

  explicit Hasher(std::uint64_t seed = 0) noexcept;

  // A marker: one byte, 0 or 1 (or any other single byte, such as a boolean's 1 or 0).
  void marker(std::uint8_t value) noexcept { append(&value, 1); }
  // A word: 64 bits, in the machine's byte order.
  void word(std::uint64_t value) noexcept { append(&value, sizeof value); }
  // A string unit: the text's NFC bytes followed by stringDelimiter. Canonically equivalent
  // texts feed the same unit (text that is not valid UTF-8 feeds its own bytes).
  void string(std::string_view text);
  // Raw bytes, fed as they are.
  void bytes(const void* data, std::size_t size) noexcept { append(data, size); }

  // The hash of everything fed so far; feeding may go on afterwards.
  std::uint64_t finish() const noexcept;

  std::uint64_t seed() const noexcept { return seed_; }

 private:
  void append(const void* data, std::size_t size) noexcept;
  void flush() noexcept;

  XXH3_state_t state_;
  std::uint64_t seed_;
  // Small units (markers, words, short strings) gather here before they reach XXH3.
  static constexpr std::size_t bufferSize = 128;
  std::size_t used_ = 0;
  unsigned char buffer_[bufferSize];
};

}  // namespace corvlin
