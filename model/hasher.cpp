#include "model/hasher.hpp"

#include <cstring>

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

void Hasher::string(std::string_view text) {
  const std::size_t size = text.size();
  if (size < bufferSize - used_) {
    // Copied into the buffer while finding the largest byte, in one pass: text with no byte
    // from 0xCC up is already in NFC (unicode::isTriviallyNormalized), which is nearly all.
    const auto* from = reinterpret_cast<const unsigned char*>(text.data());
    unsigned char* to = buffer_ + used_;
    unsigned char largest = 0;
    for (std::size_t i = 0; i < size; ++i) {
      to[i] = from[i];
      largest = from[i] > largest ? from[i] : largest;
    }
    if (largest < 0xCC) {
      used_ += size;
      buffer_[used_++] = stringDelimiter;
      return;
    }
  } else if (unicode::isTriviallyNormalized(text)) {
    append(text.data(), size);
    marker(stringDelimiter);
    return;
  }
  const unicode::NfcText normalized(text);
  append(normalized.view().data(), normalized.view().size());
  marker(stringDelimiter);
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
