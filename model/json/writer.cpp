#include "model/json/writer.hpp"

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace corvlin::json {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// Length of the valid UTF-8 sequence at the start of `s` (s non-empty, s[0] >= 0x80),
// or 0 when it is not a valid sequence (bad lead, bad continuation, overlong, surrogate,
// beyond U+10FFFF, or cut short).
std::size_t validSequenceLength(const unsigned char* s, std::size_t n) noexcept {
  const unsigned char lead = s[0];
  auto cont = [&](std::size_t i) { return i < n && (s[i] & 0xC0) == 0x80; };
  if (lead >= 0xC2 && lead <= 0xDF) return cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (lead == 0xE0 && s[1] < 0xA0) return 0;  // overlong
    if (lead == 0xED && s[1] > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (lead == 0xF0 && s[1] < 0x90) return 0;  // overlong
    if (lead == 0xF4 && s[1] > 0x8F) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

// The bytes that a string literal holds as they are: printable ASCII but the quote and the
// backslash.
constexpr std::array<bool, 256> plainBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0x20; c < 0x80; ++c) table[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return table;
}();

// True when no byte of the word has its high bit set, is below 0x20, or equals '"' or '\\'
// (the classic "has a zero byte" test applied to the word and to its XORs with those two).
constexpr bool isPlainWord(std::uint64_t w) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t highs = 0x8080808080808080ULL;
  const auto hasZeroByte = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
  return ((w & highs) | ((w - ones * 0x20) & ~w & highs) | hasZeroByte(w ^ (ones * '"')) |
          hasZeroByte(w ^ (ones * '\\'))) == 0;
}

// True when every byte of `text` is plain: eight bytes at a time, the last stretch read as
// words that overlap what was checked already.
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

}  // namespace

void appendString(std::string& out, std::string_view text) {
  if (isPlain(text)) {
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
      out += "\xEF\xBF\xBD";
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

namespace {

// The shortest round-trip form of the numbers documents are made of, integers and decimals of
// up to four fractional digits (sizes, colours, opacities, instants), without the general
// algorithm, which is dear in time and in code pages touched. Both are exact: below 2^53 every
// integer is a double, and a decimal m / 10^k that divides back to the value exactly, with k
// as small as possible, is its shortest digit string. The notation is the shorter of fixed and
// scientific, fixed on a tie, as std::to_chars chooses. Returns null, having written nothing,
// for any other number (and where scientific is shorter) so that the general path writes it.
char* writeCommonNumber(char* at, double value) {
  constexpr double twoTo53 = 9007199254740992.0;
  constexpr double twoTo40 = 1099511627776.0;
  constexpr std::array<double, 5> scales{1, 10, 100, 1000, 10000};
  if (value == 0) {
    if (std::signbit(value)) return nullptr;
    *at = '0';
    return at + 1;
  }
  const double magnitude = std::fabs(value);
  // Whole numbers below 10^5 (most sizes and instants' parts): always the fixed form, since
  // scientific takes at least five characters too.
  if (magnitude < 1e5) {
    const auto whole = static_cast<std::int32_t>(value);
    if (static_cast<double>(whole) == value) return std::to_chars(at, at + 8, whole).ptr;
  }
  for (std::size_t k = 0; k < scales.size(); ++k) {
    const double exact = magnitude * scales[k];
    // Integers are exact up to 2^53. A fraction is kept far below it, where the doubles lie
    // much closer together than 10^-k: then at most one k-digit decimal divides back to the
    // value, and the product is so near it that adding a half rounds to it.
    if (!(exact < (k == 0 ? twoTo53 : twoTo40))) return nullptr;
    // `exact` is positive, and the checks below reject a wrong neighbour.
    const double scaled =
        static_cast<double>(static_cast<std::uint64_t>(exact + 0.5));  // NOLINT(*-rounding*)
    // Far from an integer: no k-digit decimal (a true one lies within 2^-11 of the product).
    if (std::fabs(exact - scaled) > 1e-3) continue;
    if (k == 0 ? scaled != magnitude : scaled / scales[k] != magnitude) continue;
    char digits[20];
    const std::size_t count = static_cast<std::size_t>(
        std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(scaled)).ptr -
        digits);
    std::size_t significant = count;  // only an integer (k == 0) can end in zeros
    while (significant > 1 && digits[significant - 1] == '0') --significant;
    const std::size_t fixedLength = k == 0 ? count : (count > k ? count + 1 : k + 2);
    // The exponent lies within -4 and 15 here: two digits after "e+" or "e-".
    const std::size_t scientificLength = significant + (significant > 1 ? 1 : 0) + 4;
    if (scientificLength < fixedLength) return nullptr;
    if (value < 0) *at++ = '-';
    if (k == 0) {
      std::memcpy(at, digits, count);
      return at + count;
    }
    if (count > k) {
      std::memcpy(at, digits, count - k);
      at += count - k;
      *at++ = '.';
      std::memcpy(at, digits + count - k, k);
      return at + k;
    }
    *at++ = '0';
    *at++ = '.';
    std::memset(at, '0', k - count);
    at += k - count;
    std::memcpy(at, digits, count);
    return at + count;
  }
  return nullptr;
}

}  // namespace

namespace detail {

char* writeNumber(char* at, double value) noexcept {
  if (!std::isfinite(value)) {
    // Not representable in JSON; callers check first. Never emit invalid JSON.
    std::memcpy(at, "null", 4);  // NOLINT(*-not-null-terminated-result): JSON, not a C string
    return at + 4;
  }
  if (char* end = writeCommonNumber(at, value)) return end;
  return std::to_chars(at, at + 32, value).ptr;
}

}  // namespace detail

namespace {

using detail::numberRoom;
using detail::writeNumber;

}  // namespace

void appendNumber(std::string& out, double value) {
  char buffer[numberRoom];
  out.append(buffer, writeNumber(buffer, value));
}

void Writer::grow(std::size_t bytes) {
  std::size_t size = out_.size() < 256 ? 256 : out_.size();
  while (size < length_ + bytes) size *= 2;
  out_.resize(size);
}

void Writer::reserve(std::size_t bytes) {
  if (out_.size() < bytes) out_.resize(bytes);
}

void Writer::raw(std::string_view bytes) {
  if (!bytes.empty()) std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
  length_ += bytes.size();
  needsComma_ = false;
}

std::string Writer::take() {
  out_.resize(length_);
  length_ = 0;
  needsComma_ = false;
  return std::move(out_);
}

// Copies a text of at most 16 bytes to `to` when it is plain, reading it as (overlapping) words
// that are checked and stored as they are; false, with `to` unspecified, when it is not plain.
[[gnu::always_inline]] inline bool copyShortPlain(char* to, const char* from,
                                                  std::size_t n) noexcept {
  if (n >= 8) {
    std::uint64_t first;
    std::uint64_t last;
    std::memcpy(&first, from, 8);
    std::memcpy(&last, from + n - 8, 8);
    if (!isPlainWord(first) || !isPlainWord(last)) return false;
    std::memcpy(to, &first, 8);
    std::memcpy(to + n - 8, &last, 8);
    return true;
  }
  if (n >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, from, 4);
    std::memcpy(&last, from + n - 4, 4);
    if (!isPlainWord(first | (std::uint64_t{last} << 32))) return false;
    std::memcpy(to, &first, 4);
    std::memcpy(to + n - 4, &last, 4);
    return true;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!plainBytes[static_cast<unsigned char>(from[i])]) return false;
    to[i] = from[i];
  }
  return true;
}

// A string literal, preceded by a comma where one is due and followed by `after` unless it is
// '\0'.
void Writer::literal(std::string_view text, char after) {
  const std::size_t n = text.size();
  char* at = room(n + 4);
  *at = ',';  // kept only where one is due: no branch to mispredict
  at += needsComma_ ? 1 : 0;
  *at++ = '"';
  // Keys and most values are short: checked and copied in the same few words.
  const bool plain = n <= 16 ? copyShortPlain(at, text.data(), n) : isPlain(text);
  if (!plain) return escapedLiteral(text, after);
  if (n > 16) std::memcpy(at, text.data(), n);
  at += n;
  *at++ = '"';
  if (after != '\0') *at++ = after;
  length_ = static_cast<std::size_t>(at - out_.data());
}

bool Writer::isPlainText(std::string_view text) noexcept { return isPlain(text); }

void Writer::escapedLiteral(std::string_view text, char after) {
  std::string escaped;
  if (needsComma_) escaped += ',';
  appendString(escaped, text);
  if (after != '\0') escaped += after;
  std::memcpy(room(escaped.size()), escaped.data(), escaped.size());
  length_ += escaped.size();
}

void Writer::key(std::string_view name) {
  literal(name, ':');
  needsComma_ = false;
}

void Writer::string(std::string_view value) {
  literal(value, '\0');
  needsComma_ = true;
}

void Writer::number(double value) {
  char* at = room(numberRoom + 1);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  length_ = static_cast<std::size_t>(writeNumber(at, value) - out_.data());
  needsComma_ = true;
}

void Writer::boolean(bool value) {
  const std::string_view word = value ? "true" : "false";
  char* at = room(word.size() + 1);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  std::memcpy(at, word.data(), word.size());
  length_ = static_cast<std::size_t>(at + word.size() - out_.data());
  needsComma_ = true;
}

void Writer::null() {
  char* at = room(5);
  *at = ',';
  at += needsComma_ ? 1 : 0;
  std::memcpy(at, "null", 4);  // NOLINT(*-not-null-terminated-result): JSON, not a C string
  length_ = static_cast<std::size_t>(at + 4 - out_.data());
  needsComma_ = true;
}

}  // namespace corvlin::json
