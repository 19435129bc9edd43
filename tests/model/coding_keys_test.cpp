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

// The key strings in position order; each one constructs its key back.
template <class Key>
std::vector<std::string> allStrings() {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < codingKeyCount<Key>; ++i) {
    const Key key = static_cast<Key>(i);
    EXPECT_EQ(codingKeyFromString<Key>(stringValue(key)), key);
    EXPECT_EQ(position(key), i);
    EXPECT_EQ(intValue(key), std::nullopt);
    out.emplace_back(stringValue(key));
  }
  return out;
}

TEST(CodingKeys, KeyStringsAreTheFieldNamesInOrderAndRoundTrip) {
  EXPECT_EQ(allStrings<CK>(),
            (std::vector<std::string>{"title", "body", "detail", "tone", "progress", "timerStart",
                                      "timerEnd", "timerDirection", "actions"}));
  EXPECT_EQ(allStrings<AK>(), (std::vector<std::string>{"actionId", "label", "requiresAuth"}));
  EXPECT_EQ(allStrings<TK>(), (std::vector<std::string>{"kind", "activityId"}));
}

TEST(CodingKeys, ConstructionIsExactAndThereIsNoIntegerForm) {
  for (const char* text :
       {"Progress", "", "progress ", " progress", "progres", "progressx", "actionId", "kind"}) {
    EXPECT_EQ(codingKeyFromString<CK>(text), std::nullopt) << text;
  }
  EXPECT_EQ(codingKeyFromString<AK>("title"), std::nullopt);
  EXPECT_EQ(codingKeyFromString<TK>("Kind"), std::nullopt);
  EXPECT_EQ(codingKeyFromString<CK>(std::string_view("title\0", 6)), std::nullopt);
  for (int i : {-1, 0, 1, 4, 8, 9}) {
    EXPECT_EQ(codingKeyFromInt<CK>(i), std::nullopt);
    EXPECT_EQ(codingKeyFromInt<AK>(i), std::nullopt);
    EXPECT_EQ(codingKeyFromInt<TK>(i), std::nullopt);
  }
}

TEST(CodingKeys, HashFeedsThePositionAsOneWord) {
  std::unordered_set<std::uint64_t> seen;
  for (std::size_t i = 0; i < codingKeyCount<CK>; ++i) {
    const CK key = static_cast<CK>(i);
    Hasher expected(77), fed(77);
    expected.word(i);
    hash(fed, key);
    EXPECT_EQ(hashValue(key, 77), expected.finish());
    EXPECT_EQ(fed.finish(), expected.finish());
    seen.insert(hashValue(key));
  }
  EXPECT_EQ(seen.size(), codingKeyCount<CK>);
  Hasher unseeded;
  unseeded.word(0);
  EXPECT_EQ(hashValue(CK::title), unseeded.finish());
  EXPECT_EQ(hashValue(CK::title), hashValue(AK::actionId));  // same position, same hash
}

TEST(CodingKeys, StandardDescriptionAndCompileTimeUse) {
  EXPECT_EQ(description(CK::timerDirection),
            R"(CodingKeys(stringValue: "timerDirection", intValue: nil))");
  EXPECT_EQ(debugDescription(AK::requiresAuth),
            R"(CodingKeys(stringValue: "requiresAuth", intValue: nil))");
  std::ostringstream out;
  out << TK::activityId;
  EXPECT_EQ(out.str(), R"(CodingKeys(stringValue: "activityId", intValue: nil))");
  static_assert(stringValue(CK::actions) == "actions");
  static_assert(codingKeyFromString<CK>("timerEnd") == CK::timerEnd);
  static_assert(!codingKeyFromString<CK>("TimerEnd").has_value());
  static_assert(codingKeyCount<CK> == 9 && codingKeyCount<AK> == 3 && codingKeyCount<TK> == 2);
}

}  // namespace
}  // namespace corvlin
