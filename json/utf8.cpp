#include "json/utf8.hpp"

namespace corvlin::json {

std::optional<std::size_t> firstInvalidUtf8(std::string_view text) noexcept {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = validSequenceLength(bytes + i, text.size() - i);
    if (length == 0) return i;
    i += length;
  }
  return std::nullopt;
}

std::string repairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t run = 0;  // start of the pending stretch copied verbatim
  std::size_t i = 0;
  while (i < n) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = validSequenceLength(s + i, n - i);
    if (length != 0) {
      i += length;
      continue;
    }
    out.append(text.data() + run, i - run);
    out += replacementCharacter;
    run = ++i;
  }
  out.append(text.data() + run, n - run);
  return out;
}

}  // namespace corvlin::json
