// The hashing feed and the hasher: the exact sequence of units, the three forms,
// seeds, and that the hasher's buffering never changes a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/hasher.hpp"
#include "model/records.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::titled;

std::uint64_t xxh3(const std::string& bytes, std::uint64_t seed = 0) {
  return XXH3_64bits_withSeed(bytes.data(), bytes.size(), seed);
}

// The feed spelled out, units separated by '|': "m1" a marker, "w2" a word, "d0.4" a double's
// bits as a word, "'text" a string (its NFC bytes, then the delimiter 0xFF).
std::string feed(std::string_view units) {
  std::string bytes;
  const auto word = [&](std::uint64_t w) {
    char raw[8];
    std::memcpy(raw, &w, 8);
    bytes.append(raw, 8);
  };
  while (!units.empty()) {
    const std::string unit(units.substr(0, units.find('|')));
    units.remove_prefix(std::min(units.size(), unit.size() + 1));
    if (unit[0] == 'm') bytes += static_cast<char>(std::stoi(unit.substr(1)));
    if (unit[0] == 'w') word(std::stoull(unit.substr(1)));
    if (unit[0] == 'd') word(std::bit_cast<std::uint64_t>(std::stod(unit.substr(1))));
    if (unit[0] == '\'') bytes += unit.substr(1) + '\xFF';
  }
  return bytes;
}

TEST(HashingFeed, ActionSpecUnits) {
  EXPECT_EQ(hashValue(ActionSpec{"call", "Call", {}}), xxh3(feed("'call|'Call|m0")));
  EXPECT_EQ(hashValue(ActionSpec{"cancel", "Cancel", true}), xxh3(feed("'cancel|'Cancel|m1|m1")));
  EXPECT_EQ(hashValue(ActionSpec{"x", "", false}), xxh3(feed("'x|'|m1|m0")));
}

TEST(HashingFeed, ContentStateUnits) {
  ContentState state = titled("Order 42 is on its way");
  state.body = "Courier is 2 km away";
  state.tone = "warning";
  state.progress = 0.4;
  state.timerEnd = 1767225600.0;
  state.timerDirection = "down";
  state.actions = {{{"call", "Call courier", {}}, {"cancel", "Cancel order", true}}};
  const std::string units = feed(
      "'Order 42 is on its way|m1|'Courier is 2 km away|m0|m1|'warning|m1|d0.4|m0|"
      "m1|d1767225600|m1|'down|m1|w2|'call|'Call courier|m0|'cancel|'Cancel order|m1|m1");
  EXPECT_EQ(hashValue(state), xxh3(units));
  EXPECT_EQ(hashValue(state, 99), xxh3(units, 99));
  // All absent, empty actions (a marker then the word 0), and -0 fed as the word 0.
  EXPECT_EQ(hashValue(titled("t")), xxh3(feed("'t|m0|m0|m0|m0|m0|m0|m0|m0")));
  ContentState emptyActions = titled("t"), negativeZero = titled("t");
  emptyActions.actions = std::vector<ActionSpec>{};
  negativeZero.progress = -0.0;
  EXPECT_EQ(hashValue(emptyActions), xxh3(feed("'t|m0|m0|m0|m0|m0|m0|m0|m1|w0")));
  EXPECT_EQ(hashValue(negativeZero), xxh3(feed("'t|m0|m0|m0|m1|w0|m0|m0|m0|m0")));
}

TEST(HashingFeed, StringUnitIsNfcBytesAndDelimiter) {
  Hasher decomposed;
  decomposed.string("e\xCC\x81");
  EXPECT_EQ(decomposed.finish(), xxh3("\xC3\xA9\xFF"));
  // A NUL inside the text is part of the unit, and normalization goes past it.
  Hasher withNul;
  withNul.string(std::string("\0e\xCC\x81", 4));
  EXPECT_EQ(withNul.finish(), xxh3(std::string("\0\xC3\xA9\xFF", 4)));
}

TEST(HashingForms, CallersHasherSeedsAndSeveralValues) {
  ContentState state = titled("Caf\xC3\xA9");
  state.actions = {{{"a", "b", false}}};
  Hasher hasher;
  hash(hasher, state);
  EXPECT_EQ(hasher.finish(), hashValue(state));
  Hasher seeded(12345);
  hash(seeded, state);
  EXPECT_EQ(seeded.finish(), hashValue(state, 12345));
  EXPECT_EQ(hashValue(state, 0), hashValue(state));
  EXPECT_NE(hashValue(state, 1), hashValue(state));
  EXPECT_NE(hashValue(state, 1), hashValue(state, 2));
  // Feeding two records one after the other is the concatenation of their feeds.
  Hasher two(3);
  hash(two, ActionSpec{"a", "b", {}});
  hash(two, ActionSpec{"c", "d", true});
  EXPECT_EQ(two.finish(), xxh3(feed("'a|'b|m0|'c|'d|m1|m1"), 3));
  EXPECT_EQ(hashValue(ActionSpec{"a", "b", true}, 7), xxh3(feed("'a|'b|m1|m1"), 7));
}

TEST(HasherBuffering, ChunkingNeverChangesTheResult) {
  std::string data;
  // Longer than the hasher's buffer, so the streaming state takes over part way.
  for (int i = 0; i < 9000; ++i) data += static_cast<char>((i * 131) & 0xFF);
  for (std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{42}}) {
    for (std::size_t chunk :
         {1u, 3u, 7u, 8u, 64u, 127u, 128u, 129u, 500u, 2000u, 4095u, 4096u, 4097u, 9000u}) {
      Hasher hasher(seed);
      for (std::size_t at = 0; at < data.size(); at += chunk) {
        hasher.bytes(data.data() + at, std::min(chunk, data.size() - at));
      }
      EXPECT_EQ(hasher.finish(), xxh3(data, seed)) << "chunk " << chunk << " seed " << seed;
    }
  }
}

TEST(HasherBuffering, FinishMidwayThenGoOnAndEmptyAndLongInput) {
  Hasher hasher(5);
  hasher.string("abc");
  const std::uint64_t midway = hasher.finish();
  EXPECT_EQ(midway, hasher.finish());
  EXPECT_EQ(midway, xxh3("abc\xFF", 5));
  hasher.word(1);
  EXPECT_EQ(hasher.finish(), xxh3(std::string("abc\xFF\x01\0\0\0\0\0\0\0", 12), 5));
  const Hasher copy = hasher;  // the state lives in the object; a copy goes on independently
  hasher.marker(1);
  EXPECT_NE(copy.finish(), hasher.finish());
  EXPECT_EQ(hasher.seed(), 5u);
  EXPECT_EQ(Hasher().finish(), xxh3(""));
  EXPECT_EQ(Hasher(9).finish(), xxh3("", 9));
  const std::string longText(10000, 'x');
  Hasher longHasher;
  longHasher.marker(1);
  longHasher.string(longText);
  EXPECT_EQ(longHasher.finish(), xxh3("\x01" + longText + "\xFF"));
}

}  // namespace
}  // namespace corvlin
