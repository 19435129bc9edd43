#include "model/hasher.hpp"

#include <cstring>

#include "model/unicode.hpp"

namespace corvlin {

Hasher::Hasher(std::uint64_t seed) noexcept : seed_(seed) {
  XXH3_INITSTATE(&state_);  // a state not made by XXH3_createState must start with seed 0
  XXH3_64bits_reset_withSeed(&state_, seed);
}

void Hasher::flush() noexcept {
  if (used_ == 0) return;
  XXH3_64bits_update(&state_, buffer_, used_);
  used_ = 0;
}

void Hasher::append(const void* data, std::size_t size) noexcept {
  if (size == 0) return;
  if (size <= bufferSize - used_) {
    std::memcpy(buffer_ + used_, data, size);
    used_ += size;
    return;
  }
  flush();
  if (size < bufferSize) {
    std::memcpy(buffer_, data, size);
    used_ = size;
  } else {
    XXH3_64bits_update(&state_, data, size);
  }
}

void Hasher::string(std::string_view text) {
  if (unicode::isTriviallyNormalized(text)) {
    append(text.data(), text.size());
  } else {
    const unicode::NfcText normalized(text);
    append(normalized.view().data(), normalized.view().size());
  }
  marker(stringDelimiter);
}

std::uint64_t Hasher::finish() const noexcept {
  if (used_ == 0) return XXH3_64bits_digest(&state_);
  XXH3_state_t copy;
  std::memcpy(&copy, &state_, sizeof copy);
  XXH3_64bits_update(&copy, buffer_, used_);
  return XXH3_64bits_digest(&copy);
}

}  // namespace corvlin
