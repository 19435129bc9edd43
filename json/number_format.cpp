#include "json/number_format.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace corvlin::json {

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

void appendNumber(std::string& out, double value) {
  char buffer[detail::numberRoom];
  out.append(buffer, detail::writeNumber(buffer, value));
}

}  // namespace corvlin::json
