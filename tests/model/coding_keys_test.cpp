// The key sets (CodingKeys) of the three records: every operation a key offers.
#include "model/coding_keys.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <unordered_set>

namespace corvlin {
namespace {

using CK = ContentState::CodingKeys;
using AK = ActionSpec::CodingKeys;
using TK = CorvlinLiveActivityAttributes::CodingKeys;

template <class Key>
std::vector<std::string> allStrings() {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < codingKeyCount<Key>; ++i) {
    out.emplace_back(stringValue(static_cast<Key>(i)));
  }
  return out;
}

TEST(CodingKeys, KeyStringsAreTheFieldNamesInOrder) {
  EXPECT_EQ(allStrings<CK>(),
            (std::vector<std::string>{"title", "body", "detail", "tone", "progress", "timerStart",
                                      "timerEnd", "timerDirection", "actions"}));
  EXPECT_EQ(allStrings<AK>(), (std::vector<std::string>{"actionId", "label", "requiresAuth"}));
  EXPECT_EQ(allStrings<TK>(), (std::vector<std::string>{"kind", "activityId"}));
}

TEST(CodingKeys, ConstructionFromAStringIsExact) {
  EXPECT_EQ(codingKeyFromString<CK>("progress"), CK::progress);
  EXPECT_EQ(position(*codingKeyFromString<CK>("progress")), 4u);
  EXPECT_EQ(codingKeyFromString<AK>("actionId"), AK::actionId);
  EXPECT_EQ(position(*codingKeyFromString<AK>("actionId")), 0u);
  EXPECT_EQ(codingKeyFromString<TK>("activityId"), TK::activityId);
  for (const char* text : {"Progress", "", "progress ", " progress", "PROGRESS", "progres",
                           "progressx", "actionId", "kind"}) {
    EXPECT_EQ(codingKeyFromString<CK>(text), std::nullopt) << text;
  }
  EXPECT_EQ(codingKeyFromString<AK>("title"), std::nullopt);
  EXPECT_EQ(codingKeyFromString<TK>("Kind"), std::nullopt);
  EXPECT_EQ(codingKeyFromString<CK>(std::string_view("title\0", 6)), std::nullopt);
}

TEST(CodingKeys, EveryKeyRoundTripsThroughItsString) {
  for (std::size_t i = 0; i < codingKeyCount<CK>; ++i) {
    const CK key = static_cast<CK>(i);
    EXPECT_EQ(codingKeyFromString<CK>(stringValue(key)), key);
  }
  for (std::size_t i = 0; i < codingKeyCount<AK>; ++i) {
    const AK key = static_cast<AK>(i);
    EXPECT_EQ(codingKeyFromString<AK>(stringValue(key)), key);
  }
}

TEST(CodingKeys, NoIntegerForm) {
  EXPECT_EQ(intValue(CK::title), std::nullopt);
  EXPECT_EQ(intValue(AK::label), std::nullopt);
  EXPECT_EQ(intValue(TK::kind), std::nullopt);
  for (int i : {-1, 0, 1, 4, 8, 9}) {
    EXPECT_EQ(codingKeyFromInt<CK>(i), std::nullopt);
    EXPECT_EQ(codingKeyFromInt<AK>(i), std::nullopt);
    EXPECT_EQ(codingKeyFromInt<TK>(i), std::nullopt);
  }
}

TEST(CodingKeys, EqualityIsSameMember) {
  EXPECT_EQ(CK::tone, CK::tone);
  EXPECT_NE(CK::tone, CK::body);
  EXPECT_EQ(codingKeyFromString<CK>("tone"), codingKeyFromString<CK>("tone"));
}

TEST(CodingKeys, HashFeedsThePositionAsOneWord) {
  std::unordered_set<std::uint64_t> seen;
  for (std::size_t i = 0; i < codingKeyCount<CK>; ++i) {
    const CK key = static_cast<CK>(i);
    Hasher expected;
    expected.word(i);
    EXPECT_EQ(hashValue(key), expected.finish());
    Hasher seeded(77);
    seeded.word(i);
    EXPECT_EQ(hashValue(key, 77), seeded.finish());
    Hasher fed(77);
    hash(fed, key);
    EXPECT_EQ(fed.finish(), seeded.finish());
    seen.insert(hashValue(key));
  }
  EXPECT_EQ(seen.size(), codingKeyCount<CK>);
  // Same position, same hash, whatever the key set.
  EXPECT_EQ(hashValue(CK::title), hashValue(AK::actionId));
}

TEST(CodingKeys, StandardDescription) {
  EXPECT_EQ(description(CK::timerDirection),
            R"(CodingKeys(stringValue: "timerDirection", intValue: nil))");
  EXPECT_EQ(debugDescription(AK::requiresAuth),
            R"(CodingKeys(stringValue: "requiresAuth", intValue: nil))");
  std::ostringstream out;
  out << TK::activityId;
  EXPECT_EQ(out.str(), R"(CodingKeys(stringValue: "activityId", intValue: nil))");
}

TEST(CodingKeys, UsableAtCompileTime) {
  static_assert(stringValue(CK::actions) == "actions");
  static_assert(codingKeyFromString<CK>("timerEnd") == CK::timerEnd);
  static_assert(!codingKeyFromString<CK>("TimerEnd").has_value());
  static_assert(codingKeyCount<CK> == 9 && codingKeyCount<AK> == 3 && codingKeyCount<TK> == 2);
  SUCCEED();
}

}  // namespace
}  // namespace corvlin
