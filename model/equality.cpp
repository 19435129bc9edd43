// Equality of the records: strings under canonical equivalence, doubles as IEEE 754
// numbers, optionals absent-equals-absent, lists element by element; first difference ends it.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "model/records.hpp"
#include "model/unicode.hpp"

namespace corvlin {

namespace {

// Byte-equal texts, the common case, are settled here without a call; texts of up to 32 bytes
// in overlapping words, longer ones by memcmp.
std::uint64_t wordAt(const std::string& text, std::size_t at) {
  std::uint64_t word;
  std::memcpy(&word, text.data() + at, 8);
  return word;
}

bool sameBytes(const std::string& a, const std::string& b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n > 32) return std::memcmp(a.data(), b.data(), n) == 0;
  if (n >= 8) {
    const std::size_t last = n - 8;
    std::uint64_t differ = (wordAt(a, 0) ^ wordAt(b, 0)) | (wordAt(a, last) ^ wordAt(b, last));
    if (n > 16) {
      const std::size_t lastButOne = n - 16;
      differ |= (wordAt(a, 8) ^ wordAt(b, 8)) | (wordAt(a, lastButOne) ^ wordAt(b, lastButOne));
    }
    return differ == 0;
  }
  if (n >= 4) {
    std::uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, a.data(), 4);
    std::memcpy(&a1, a.data() + n - 4, 4);
    std::memcpy(&b0, b.data(), 4);
    std::memcpy(&b1, b.data() + n - 4, 4);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
  }
  unsigned differ = 0;
  for (std::size_t i = 0; i < n; ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  return differ == 0;
}

[[gnu::always_inline]] inline bool same(const std::string& a, const std::string& b) {
  return sameBytes(a, b) || unicode::canonicallyEquivalent(a, b);
}
bool same(double a, double b) { return a == b; }  // +0 == -0; NaN equals nothing
bool same(bool a, bool b) { return a == b; }
bool same(const std::vector<ActionSpec>& a, const std::vector<ActionSpec>& b);

template <class T>
bool same(const std::optional<T>& a, const std::optional<T>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || same(*a, *b);
}

}  // namespace

bool operator==(const ActionSpec& a, const ActionSpec& b) {
  return same(a.actionId, b.actionId) && same(a.label, b.label) &&
         same(a.requiresAuth, b.requiresAuth);
}

namespace {

bool same(const std::vector<ActionSpec>& a, const std::vector<ActionSpec>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace

bool operator==(const ContentState& a, const ContentState& b) {
  return same(a.title, b.title) && same(a.body, b.body) && same(a.detail, b.detail) &&
         same(a.tone, b.tone) && same(a.progress, b.progress) && same(a.timerStart, b.timerStart) &&
         same(a.timerEnd, b.timerEnd) && same(a.timerDirection, b.timerDirection) &&
         same(a.actions, b.actions);
}

}  // namespace corvlin
