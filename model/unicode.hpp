// Canonical equivalence of UTF-8 text: normalization to NFC only where it can matter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace corvlin::unicode {

// True when every byte is below 0xCC, i.e. (for valid UTF-8) every code point is below U+0300.
// Such text is already in NFC: no code point below U+0300 decomposes under NFC, combines with a
// neighbour, or has a nonzero combining class. ASCII is the common case of it.
bool isTriviallyNormalized(std::string_view text) noexcept;

// True when the two texts are the same under Unicode canonical equivalence (NFC bytes equal).
// Byte-equal texts are equal without normalizing; two trivially normalized texts that differ in
// bytes are unequal without normalizing. Text that is not valid UTF-8 compares by bytes only.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

// The NFC form of a text, or the text itself where it is already normalized (no copy) or not
// valid UTF-8 (compared and hashed by bytes). Owns the normalized copy when it made one.
class NfcText {
 public:
  explicit NfcText(std::string_view text);

  std::string_view view() const noexcept { return view_; }
  bool normalized() const noexcept { return owned_ != nullptr; }  // a copy was made

 private:
  struct Free {
    void operator()(std::uint8_t* p) const noexcept;
  };
  std::unique_ptr<std::uint8_t, Free> owned_;
  std::string_view view_;
};

}  // namespace corvlin::unicode
