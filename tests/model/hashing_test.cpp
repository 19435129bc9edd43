// The hashing feed and the hasher: the exact sequence of units, the three forms,
// seeds, and that the hasher's buffering never changes a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "model/hasher.hpp"
#include "model/records.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::titled;

std::uint64_t xxh3(const std::string& bytes, std::uint64_t seed) {
  return XXH3_64bits_withSeed(bytes.data(), bytes.size(), seed);
}

// The feed spelled out byte by byte, for comparing with what hash() feeds.
struct Feed {
  std::string bytes;
  Feed& marker(std::uint8_t m) {
    bytes += static_cast<char>(m);
    return *this;
  }
  Feed& word(std::uint64_t w) {
    char raw[8];
    std::memcpy(raw, &w, 8);
    bytes.append(raw, 8);
    return *this;
  }
  Feed& string(const std::string& nfc) {
    bytes += nfc;
    bytes += '\xFF';
    return *this;
  }
};

TEST(HashingFeed, ActionSpecUnits) {
  const ActionSpec absent{"call", "Call", {}};
  const ActionSpec yes{"cancel", "Cancel", true};
  const ActionSpec no{"x", "", false};
  EXPECT_EQ(hashValue(absent), xxh3(Feed{}.string("call").string("Call").marker(0).bytes, 0));
  EXPECT_EQ(hashValue(yes),
            xxh3(Feed{}.string("cancel").string("Cancel").marker(1).marker(1).bytes, 0));
  EXPECT_EQ(hashValue(no), xxh3(Feed{}.string("x").string("").marker(1).marker(0).bytes, 0));
}

TEST(HashingFeed, ContentStateUnitsOfTheWorkedExample) {
  ContentState state;
  state.title = "Order 42 is on its way";
  state.body = "Courier is 2 km away";
  state.tone = "warning";
  state.progress = 0.4;
  state.timerEnd = 1767225600.0;
  state.timerDirection = "down";
  state.actions =
      std::vector<ActionSpec>{{"call", "Call courier", {}}, {"cancel", "Cancel order", true}};
  Feed feed;
  feed.string("Order 42 is on its way")
      .marker(1)
      .string("Courier is 2 km away")
      .marker(0)
      .marker(1)
      .string("warning")
      .marker(1)
      .word(std::bit_cast<std::uint64_t>(0.4))
      .marker(0)
      .marker(1)
      .word(std::bit_cast<std::uint64_t>(1767225600.0))
      .marker(1)
      .string("down")
      .marker(1)
      .word(2)
      .string("call")
      .string("Call courier")
      .marker(0)
      .string("cancel")
      .string("Cancel order")
      .marker(1)
      .marker(1);
  EXPECT_EQ(hashValue(state), xxh3(feed.bytes, 0));
  EXPECT_EQ(hashValue(state, 99), xxh3(feed.bytes, 99));
}

TEST(HashingFeed, AllAbsentAndEmptyActions) {
  ContentState state = titled("t");
  Feed allAbsent;
  allAbsent.string("t")
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0);
  EXPECT_EQ(hashValue(state), xxh3(allAbsent.bytes, 0));
  state.actions = std::vector<ActionSpec>{};
  Feed empty;
  empty.string("t")
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(1)
      .word(0);
  EXPECT_EQ(hashValue(state), xxh3(empty.bytes, 0));
}

TEST(HashingFeed, NegativeZeroFeedsTheWordZero) {
  ContentState state = titled("t");
  state.progress = -0.0;
  Feed feed;
  feed.string("t")
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(1)
      .word(0)
      .marker(0)
      .marker(0)
      .marker(0)
      .marker(0);
  EXPECT_EQ(hashValue(state), xxh3(feed.bytes, 0));
}

TEST(HashingFeed, StringUnitIsNfcBytesAndDelimiter) {
  Hasher decomposed;
  decomposed.string("e\xCC\x81");
  Hasher composed;
  composed.bytes("\xC3\xA9", 2);
  composed.marker(Hasher::stringDelimiter);
  EXPECT_EQ(decomposed.finish(), composed.finish());
  // A NUL inside the text is part of the unit, and normalization goes past it.
  Hasher withNul;
  withNul.string(std::string("\0e\xCC\x81", 4));
  EXPECT_EQ(withNul.finish(), xxh3(std::string("\0\xC3\xA9\xFF", 4), 0));
}

TEST(HashingForms, FeedingACallersHasherMatchesTheValue) {
  ContentState state = titled("Caf\xC3\xA9");
  state.actions = std::vector<ActionSpec>{{"a", "b", false}};
  Hasher hasher;
  hash(hasher, state);
  EXPECT_EQ(hasher.finish(), hashValue(state));
  Hasher seeded(12345);
  hash(seeded, state);
  EXPECT_EQ(seeded.finish(), hashValue(state, 12345));
  EXPECT_EQ(hashValue(state, 0), hashValue(state));
  EXPECT_NE(hashValue(state, 1), hashValue(state));
  EXPECT_NE(hashValue(state, 1), hashValue(state, 2));

  const ActionSpec action{"a", "b", true};
  Hasher actionHasher(7);
  hash(actionHasher, action);
  EXPECT_EQ(actionHasher.finish(), hashValue(action, 7));
}

TEST(HashingForms, ACallerMayFeedSeveralValues) {
  // Feeding two records one after the other is the concatenation of their feeds.
  const ActionSpec a{"a", "b", {}};
  const ActionSpec b{"c", "d", true};
  Hasher hasher(3);
  hash(hasher, a);
  hash(hasher, b);
  EXPECT_EQ(hasher.finish(), xxh3(Feed{}
                                      .string("a")
                                      .string("b")
                                      .marker(0)
                                      .string("c")
                                      .string("d")
                                      .marker(1)
                                      .marker(1)
                                      .bytes,
                                  3));
}

TEST(HasherBuffering, ChunkingNeverChangesTheResult) {
  std::string data;
  for (int i = 0; i < 2000; ++i) data += static_cast<char>((i * 131) & 0xFF);
  for (std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{42}}) {
    const std::uint64_t expected = xxh3(data, seed);
    for (std::size_t chunk : {1u, 3u, 7u, 8u, 64u, 127u, 128u, 129u, 500u, 2000u}) {
      Hasher hasher(seed);
      for (std::size_t at = 0; at < data.size(); at += chunk) {
        hasher.bytes(data.data() + at, std::min(chunk, data.size() - at));
      }
      EXPECT_EQ(hasher.finish(), expected) << "chunk " << chunk << " seed " << seed;
    }
  }
}

TEST(HasherBuffering, FinishMidwayThenGoOn) {
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
}

TEST(HasherBuffering, LongStringsAndEmptyInput) {
  EXPECT_EQ(Hasher().finish(), xxh3("", 0));
  EXPECT_EQ(Hasher(9).finish(), xxh3("", 9));
  const std::string longText(10000, 'x');
  Hasher hasher;
  hasher.marker(1);
  hasher.string(longText);
  EXPECT_EQ(hasher.finish(), xxh3("\x01" + longText + "\xFF", 0));
}

}  // namespace
}  // namespace corvlin
