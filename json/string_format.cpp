#include "json/string_format.hpp"

#include <cstring>

#include "json/utf8.hpp"

namespace corvlin::json {
namespace {

constexpr char hexDigits[] = "0123456789abcdef";

}  // namespace

namespace detail {

// Eight bytes at a time, the last stretch read as words that overlap what was checked already.
bool isPlain(std::string_view text) noexcept {
  const char* p = text.data();
  std::size_t n = text.size();
  if (n >= 8) {
    std::uint64_t w;
    for (; n > 8; p += 8, n -= 8) {
      std::memcpy(&w, p, 8);
      if (!isPlainWord(w)) return false;
    }
    std::memcpy(&w, p + n - 8, 8);
    return isPlainWord(w);
  }
  if (n >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    return isPlainWord(first | (std::uint64_t{last} << 32));
  }
  for (; n > 0; ++p, --n) {
    if (!plainBytes[static_cast<unsigned char>(*p)]) return false;
  }
  return true;
}

}  // namespace detail

void appendString(std::string& out, std::string_view text) {
  if (detail::isPlain(text)) {
    // The common case (keys, ASCII texts): nothing to escape or check. One append for the
    // quotes and the room between them.
    const std::size_t at = out.size();
    out.append(text.size() + 2, '"');
    if (!text.empty()) std::memcpy(out.data() + at + 1, text.data(), text.size());
    return;
  }
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t run = 0;  // start of the pending stretch copied verbatim
  std::size_t i = 0;
  auto flushRun = [&](std::size_t end) { out.append(text.data() + run, end - run); };
  while (i < n) {
    const unsigned char c = s[i];
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t length = validSequenceLength(s + i, n - i);
      if (length != 0) {
        i += length;  // raw UTF-8, copied as it is
        continue;
      }
      // Not UTF-8: JSON text cannot hold it; write U+FFFD instead of the byte.
      flushRun(i);
      out += replacementCharacter;
      run = ++i;
      continue;
    }
    flushRun(i);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += hexDigits[c >> 4];
        out += hexDigits[c & 0x0F];
        break;
    }
    run = ++i;
  }
  flushRun(n);
  out += '"';
}

}  // namespace corvlin::json
