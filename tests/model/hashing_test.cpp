// The hasher: its string unit, the three forms, seeds, and that its buffering never changes a
// result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
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

// What each record feeds is checked through the equality tables (equal records hash alike,
// unequal ones apart); these check the hasher's own units and forms.
TEST(HashingFeed, StringUnitIsTheCanonicalDecompositionAndDelimiter) {
  Hasher precomposed;
  precomposed.string("\xC3\xA9");
  EXPECT_EQ(precomposed.finish(), xxh3("e\xCC\x81\xFF"));
  // A NUL inside the text is part of the unit, and decomposition goes past it.
  Hasher withNul;
  withNul.string(std::string("\0\xC3\xA9", 3));
  EXPECT_EQ(withNul.finish(), xxh3(std::string("\0e\xCC\x81\xFF", 5)));
  // A long unit (here also too long for the buffer) feeds its mark and its digest instead,
  // whether it is ASCII or decomposed.
  for (const std::string& tail : {std::string("a"), std::string("\xC3\xA9")}) {
    SCOPED_TRACE(tail);
    const std::string text = std::string(5000, 'a') + tail;
    const std::string form = std::string(5000, 'a') + (tail == "a" ? "a" : "e\xCC\x81");
    const std::uint64_t digest = xxh3(form);
    std::string unit = "\xFE";
    unit.append(reinterpret_cast<const char*>(&digest), sizeof digest);
    unit += "\xFF";
    Hasher longOne;
    longOne.string(text);
    EXPECT_EQ(longOne.finish(), xxh3(unit));
  }
  // Equivalent texts whose own lengths fall on either side of the long-unit length, while
  // their decompositions do not, still feed the same unit.
  for (std::size_t n = Hasher::longUnit - 4; n <= Hasher::longUnit + 1; ++n) {
    SCOPED_TRACE(n);
    const ContentState precomposedTitle = titled(std::string(n, 'a') + "\xC3\xA9");
    const ContentState decomposedTitle = titled(std::string(n, 'a') + "e\xCC\x81");
    EXPECT_EQ(precomposedTitle, decomposedTitle);
    EXPECT_EQ(hashValue(precomposedTitle), hashValue(decomposedTitle));
  }
  Hasher invalid;
  invalid.string("\xC3(");
  EXPECT_EQ(invalid.finish(), xxh3("\xC3(\xFF"));
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
  // Two records fed one after the other differ from either alone and from the other order.
  const ActionSpec first{"a", "b", {}}, second{"c", "d", true};
  Hasher both, reversed;
  hash(both, first);
  hash(both, second);
  hash(reversed, second);
  hash(reversed, first);
  EXPECT_NE(both.finish(), reversed.finish());
  EXPECT_NE(both.finish(), hashValue(first));
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
  // More than the buffer holds goes on in XXH3's streaming state, with the same result.
  const std::string longText(10000, 'x');
  Hasher longHasher;
  longHasher.marker(1);
  longHasher.bytes(longText.data(), longText.size());
  longHasher.string("abc");
  EXPECT_EQ(longHasher.finish(), xxh3("\x01" + longText + "abc\xFF"));
}

}  // namespace
}  // namespace corvlin
