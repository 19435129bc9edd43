#include "json/writer.hpp"

#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "json/utf8.hpp"

namespace corvlin::json {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

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

namespace {

// Two ASCII digits for each number below 100.
constexpr std::array<char, 200> digitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// How a value below `below` is scaled to an integer: by 10^digits, so that the product stays
// below 2^40. There the doubles lie far closer together than 10^-digits (2^-12 of it at most),
// so at most one decimal of that many fractional digits divides back to the value, and the
// product lies so near it that adding a half rounds to it.
struct FractionScale {
  double below;
  double scale;
  std::uint64_t integerScale;
  std::uint32_t toFourDigits;  // 10^(4 - digits)
};
constexpr double twoTo40 = 1099511627776.0;
constexpr std::array<FractionScale, 4> fractionScales{{
    {twoTo40 / 1e4, 1e4, 10000, 1},
    {twoTo40 / 1e3, 1e3, 1000, 10},
    {twoTo40 / 1e2, 1e2, 100, 100},
    {twoTo40 / 1e1, 1e1, 10, 1000},
}};

// The four ASCII digits of `n` < 10^4 as they lie in memory, and the number of '0' among them
// at the end (for n != 0); both in registers, so that the end of the number is known without
// reading back what was stored.
struct FourDigits {
  std::uint32_t bytes;
  int trailingZeros;
};
FourDigits fourDigits(std::uint32_t n) noexcept {
  std::uint16_t high;
  std::uint16_t low;
  std::memcpy(&high, &digitPairs[std::size_t{2} * (n / 100)], 2);
  std::memcpy(&low, &digitPairs[std::size_t{2} * (n % 100)], 2);
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint32_t bytes = high | std::uint32_t{low} << 16;
    return {bytes, std::countl_zero(bytes ^ 0x30303030U) / 8};  // a zero byte for each '0'
  } else {
    const std::uint32_t bytes = std::uint32_t{high} << 16 | low;
    return {bytes, std::countr_zero(bytes ^ 0x30303030U) / 8};
  }
}

// Writes '-' at `at` when `negative` (-0 included) and returns where the digits go: the byte is
// stored either way, so that there is no branch to mispredict.
char* writeSign(char* at, bool negative) noexcept {
  *at = '-';
  return at + (negative ? 1 : 0);
}

// A value that is no integer, whose whole part is `whole`, as a decimal of up to four fractional
// digits when it is one.
[[gnu::always_inline]] inline char* writeFraction(char* at, bool negative, double magnitude,
                                                  std::uint64_t whole) noexcept {
  std::size_t i = 0;
  while (!(magnitude < fractionScales[i].below)) {
    if (++i == fractionScales.size()) return nullptr;
  }
  const FractionScale& scale = fractionScales[i];
  // `magnitude` is positive and the product below 2^40: the conversion is exact.
  const auto scaled =
      static_cast<std::uint64_t>(magnitude * scale.scale + 0.5);  // NOLINT(*-rounding*)
  // Both operands are exact, so the quotient is the double nearest the decimal.
  if (static_cast<double>(scaled) / scale.scale != magnitude) return nullptr;
  // The decimal is no integer and the value lies within far less than 10^-4 of it, so both have
  // the same whole part.
  const auto fraction =
      static_cast<std::uint32_t>(scaled - whole * scale.integerScale) * scale.toFourDigits;
  // 0.000d: "de-04" is shorter. Any other fraction is shorter in fixed notation (at most two
  // leading zeros, or a whole part whose digits all count).
  if (whole == 0 && fraction < 10) return nullptr;
  char* end = writeSign(at, negative);
  if (whole < 10) {
    *end++ = static_cast<char>('0' + whole);
  } else {
    end = std::to_chars(end, end + 20, whole).ptr;
  }
  *end++ = '.';
  const FourDigits digits = fourDigits(fraction);
  std::memcpy(end, &digits.bytes, 4);
  return end + 4 - digits.trailingZeros;
}

// The shortest round-trip form of the numbers documents are made of, integers and decimals of
// up to four fractional digits (sizes, colours, opacities, instants), without the general
// algorithm, which is dear in time and in code pages touched. Both are exact: below 2^53 every
// integer is a double, and a decimal m / 10^k that divides back to the value exactly, with k
// as small as possible, is its shortest digit string. The notation is the shorter of fixed and
// scientific, fixed on a tie, as std::to_chars chooses. Returns null, having written nothing,
// for any other number (and where scientific is shorter) so that the general path writes it.
// Inline, as the writer's hottest path: most numbers are small integers.
[[gnu::always_inline]] inline char* writeCommonNumber(char* at, double value) noexcept {
  constexpr double twoTo53 = 9007199254740992.0;
  const double magnitude = std::fabs(value);
  const bool negative = std::signbit(value);
  // NaN and the infinities fail both comparisons.
  if (magnitude < 1e5) {
    const auto whole = static_cast<std::uint32_t>(magnitude);
    if (static_cast<double>(whole) != magnitude) {
      return writeFraction(at, negative, magnitude, whole);
    }
    // Whole numbers below 10^5 (most sizes): always the fixed form, since scientific takes at
    // least five characters too.
    char* digits = writeSign(at, negative);
    if (whole < 10) {
      *digits = static_cast<char>('0' + whole);
      return digits + 1;
    }
    return std::to_chars(digits, digits + 8, whole).ptr;
  }
  if (!(magnitude < twoTo53)) return nullptr;
  const auto whole = static_cast<std::uint64_t>(magnitude);
  if (static_cast<double>(whole) != magnitude) {
    return writeFraction(at, negative, magnitude, whole);
  }
  // Scientific is shorter only for five trailing zeros or more ("1e+05" against "100000"):
  // those few go the general way.
  if (whole % 100000 == 0) return nullptr;
  char* digits = writeSign(at, negative);
  return std::to_chars(digits, digits + 20, whole).ptr;
}

// Every other double, finite or not.
[[gnu::noinline]] char* writeGeneralNumber(char* at, double value) noexcept {
  if (!std::isfinite(value)) {
    // Not representable in JSON; callers check first. Never emit invalid JSON.
    std::memcpy(at, "null", 4);  // NOLINT(*-not-null-terminated-result): JSON, not a C string
    return at + 4;
  }
  return std::to_chars(at, at + 32, value).ptr;
}

}  // namespace

namespace detail {

char* writeNumber(char* at, double value) noexcept {
  if (char* end = writeCommonNumber(at, value)) return end;
  return writeGeneralNumber(at, value);
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
    const auto ends = words::loadEnds<std::uint64_t>(from, n);
    if (!isPlainWord(ends.first) || !isPlainWord(ends.last)) return false;
    words::storeEnds(to, n, ends);
    return true;
  }
  if (n >= 4) {
    const auto ends = words::loadEnds<std::uint32_t>(from, n);
    if (!isPlainWord(ends.first | (std::uint64_t{ends.last} << 32))) return false;
    words::storeEnds(to, n, ends);
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
