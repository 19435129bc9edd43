#include "model/hasher.hpp"

#include <cstdint>
#include <cstring>
#include <memory>

#include "model/unicode.hpp"

namespace corvlin {

void Hasher::spill(const void* data, std::size_t size) noexcept {
  if (!streaming_) {
    XXH3_INITSTATE(&state_);  // a state not made by XXH3_createState must start with seed 0
    XXH3_64bits_reset_withSeed(&state_, seed_);
    streaming_ = true;
  }
  XXH3_64bits_update(&state_, buffer_, used_);
  used_ = 0;
  if (size < bufferSize) {
    std::memcpy(buffer_, data, size);
    used_ = size;
  } else {
    XXH3_64bits_update(&state_, data, size);
  }
}

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ULL;

// Copies `n` bytes and tells whether they were all ASCII, in one pass of word loads and stores
// (overlapping at the end) rather than a copy and a second reading.
bool copyAscii(unsigned char* to, const char* from, std::size_t n) noexcept {
  if (n <= 16) return Hasher::copyShortAscii(to, from, n);
  std::uint64_t seen = 0;
  std::uint64_t w;
  for (std::size_t i = 0; i + 8 < n; i += 8) {
    std::memcpy(&w, from + i, 8);
    seen |= w;
    std::memcpy(to + i, &w, 8);
  }
  std::memcpy(&w, from + n - 8, 8);
  seen |= w;
  std::memcpy(to + n - 8, &w, 8);
  return (seen & highBits) == 0;
}

// Blocks of 64 bytes folded into eight words with no branch inside, which the compiler keeps in
// vector registers; the words are folded into one at the end.
bool isAscii(std::string_view text) noexcept {
  const char* p = text.data();
  std::size_t n = text.size();
  std::uint64_t lanes[8] = {};
  for (; n >= 64; p += 64, n -= 64) {
    for (std::size_t i = 0; i < 8; ++i) {
      std::uint64_t w;
      std::memcpy(&w, p + 8 * i, 8);
      lanes[i] |= w;
    }
  }
  std::uint64_t seen = 0;
  for (const std::uint64_t lane : lanes) seen |= lane;
  for (; n > 0; --n, ++p) seen |= static_cast<unsigned char>(*p);
  return (seen & highBits) == 0;
}

}  // namespace

void Hasher::unit(std::string_view form) noexcept {
  if (form.size() <= longUnit) {
    append(form.data(), form.size());
    marker(stringDelimiter);
    return;
  }
  // A long unit is fed as its own XXH3 digest, so that it is read once rather than copied.
  const std::uint64_t digest = XXH3_64bits(form.data(), form.size());
  marker(longUnitMark);
  word(digest);
  marker(stringDelimiter);
}

void Hasher::longerString(std::string_view text) {
  const std::size_t size = text.size();
  // Short ASCII text (nearly all) is its own canonical decomposition: copied into the buffer
  // while it is checked.
  if (size <= longUnit && size < bufferSize - used_) {
    if (copyAscii(buffer_ + used_, text.data(), size)) {
      used_ += size;
      buffer_[used_++] = stringDelimiter;
      return;
    }
  } else if (size > longUnit && isAscii(text)) {
    unit(text);
    return;
  }
  // Otherwise the canonical decomposition, written into the buffer when it has room for the
  // largest one; text that is not UTF-8 feeds its bytes.
  const std::size_t room = unicode::maxDecomposedSize(size);
  if (room < bufferSize - used_) {
    auto* at = reinterpret_cast<char*>(buffer_ + used_);
    const std::size_t length = unicode::decompose(text, at);
    if (length == unicode::notUtf8) return unit(text);
    if (length <= longUnit) {
      used_ += length;
      buffer_[used_++] = stringDelimiter;
      return;
    }
    return unit({at, length});
  }
  const std::unique_ptr<char[]> decomposed(new char[room]);
  const std::size_t length = unicode::decompose(text, decomposed.get());
  if (length == unicode::notUtf8) return unit(text);
  unit({decomposed.get(), length});
}

std::uint64_t Hasher::finish() const noexcept {
  // Streaming or not, XXH3 gives the hash of the same bytes.
  if (!streaming_) return XXH3_64bits_withSeed(buffer_, used_, seed_);
  if (used_ == 0) return XXH3_64bits_digest(&state_);
  XXH3_state_t copy;
  std::memcpy(&copy, &state_, sizeof copy);
  XXH3_64bits_update(&copy, buffer_, used_);
  return XXH3_64bits_digest(&copy);
}

}  // namespace corvlin
