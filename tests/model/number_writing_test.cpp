// The JSON writer's numbers: byte for byte what the general shortest-form conversion writes.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "json/writer.hpp"

namespace corvlin {
namespace {

std::string general(double value) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

std::string appended(double value) {
  std::string out;
  json::appendNumber(out, value);
  return out;
}

// Checks `values` in one go, naming the first that differs (a sweep of a million values would
// flood the log otherwise).
void expectAllAsGeneral(const std::vector<double>& values) {
  std::size_t differing = 0;
  for (double value : values) {
    const std::string written = appended(value);
    const std::string expected = general(value);
    if (written != expected && differing++ == 0) {
      ADD_FAILURE() << "value " << general(value) << " written as " << written;
    }
  }
  EXPECT_EQ(differing, 0U) << "of " << values.size();
}

TEST(NumberWriting, WritesTheShortestFormInTheShorterNotation) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct Case {
    double value;
    std::string written;
  } cases[] = {
      {0, "0"},
      {-0.0, "-0"},
      {1, "1"},
      {-90, "-90"},
      {99999, "99999"},
      {100000, "1e+05"},
      {120000, "120000"},
      {1200000, "1200000"},  // a tie: fixed
      {1767225600, "1767225600"},
      {0.62, "0.62"},
      {-0.11, "-0.11"},
      {0.5, "0.5"},
      {12.25, "12.25"},
      {0.001, "0.001"},   // a tie with "1e-03": fixed
      {0.0001, "1e-04"},  // scientific is shorter
      {-0.0007, "-7e-04"},
      {0.0012, "0.0012"},
      {0.0105, "0.0105"},
      {0.1234, "0.1234"},
      {99999.9999, "99999.9999"},
      {100000.5, "100000.5"},
      {109951162.7776, "109951162.7776"},  // too large to be scaled by 10^4
      {1767225600.25, "1767225600.25"},
      {1767225600.001, "1767225600.001"},
      {0.30000000000000004, "0.30000000000000004"},
      {0.12345, "0.12345"},
      {1e-7, "1e-07"},
      {9007199254740992.0, "9007199254740992"},
      {9007199254740994.0, "9007199254740994"},
      {1e16, "1e+16"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {inf, "null"},
      {-inf, "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    EXPECT_EQ(appended(c.value), c.written);
    if (std::isfinite(c.value)) {
      EXPECT_EQ(general(c.value), c.written);
    }
  }
}

TEST(NumberWriting, EveryDecimalOfUpToFourDigitsAsTheGeneralConversion) {
  const double scales[] = {1, 10, 100, 1000, 10000};
  std::vector<double> values;
  for (double scale : scales) {
    for (std::int64_t k = -300000; k <= 300000; ++k)
      values.push_back(static_cast<double>(k) / scale);
  }
  // Near the bounds of each scaling, near 2^53 and among instants, where fewer digits are exact.
  for (double around : {1e5, 109951162.7776, 1099511627.776, 10995116277.76, 109951162777.6,
                        1767225600.0, 9007199254740992.0}) {
    for (double scale : scales) {
      for (std::int64_t k = -3000; k <= 3000; ++k) {
        values.push_back(around + static_cast<double>(k) / scale);
      }
    }
  }
  expectAllAsGeneral(values);
}

// The neighbours of a short decimal are no short decimals: the exactness check must reject
// them, however near the scaled product lies to an integer.
TEST(NumberWriting, NeighboursOfDecimalsAsTheGeneralConversion) {
  std::vector<double> values;
  for (std::int64_t k = -20000; k <= 20000; ++k) {
    for (double scale : {10.0, 100.0, 1000.0, 10000.0}) {
      double value = static_cast<double>(k) / scale + static_cast<double>(k % 7);
      for (int step = 0; step < 3; ++step) {
        value = std::nextafter(value, step == 0 ? 1e300 : -1e300);
        values.push_back(value);
      }
      values.push_back(std::nextafter(1767225600.0 + static_cast<double>(k) / scale, 0.0));
    }
  }
  expectAllAsGeneral(values);
}

TEST(NumberWriting, RandomDoublesAsTheGeneralConversion) {
  std::mt19937_64 random(20260102);
  std::uniform_real_distribution<double> unit(0, 1);
  std::uniform_int_distribution<int> digits(0, 6);
  std::uniform_int_distribution<int> wholeDigits(0, 16);
  std::vector<double> values;
  for (int i = 0; i < 300000; ++i) {
    const double bits = std::bit_cast<double>(random());  // any bits: mostly huge or tiny
    if (std::isfinite(bits)) values.push_back(bits);
    values.push_back((unit(random) - 0.5) * std::pow(10.0, wholeDigits(random)));
    // Decimals of random lengths and magnitudes, written as a program would compute them.
    const double scale = std::pow(10.0, digits(random));
    const double whole = std::floor(unit(random) * std::pow(10.0, wholeDigits(random)));
    values.push_back(std::round(whole * unit(random) * scale) / scale);
    values.push_back(whole + std::round(unit(random) * scale) / scale);
  }
  expectAllAsGeneral(values);
}

// The writer places the same bytes, with commas, however its buffer grows around them.
TEST(NumberWriting, WriterPlacesNumbersWithCommasAcrossGrowth) {
  const double samples[] = {1, 0.62, -90, 1767225600.25, 0.0001, 3.141592653589793, -0.0, 1e300};
  for (std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{300}, std::size_t{5000}}) {
    SCOPED_TRACE(count);
    json::Writer writer;
    std::string expected = "[";
    writer.beginArray();
    for (std::size_t i = 0; i < count; ++i) {
      const double value = samples[i % std::size(samples)];
      writer.number(value);
      expected += (i == 0 ? "" : ",") + general(value);
    }
    writer.endArray();
    EXPECT_EQ(writer.str(), expected + "]");
  }
}

}  // namespace
}  // namespace corvlin
