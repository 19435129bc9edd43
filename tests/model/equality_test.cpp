// Equality and hashing of the records, table-driven: every pair that is equal must hash alike
// (seed 0 and a caller's seed); the pairs that feed different sequences must hash differently.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/hasher.hpp"
#include "model/records.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::titled;

// A titled state with one field set.
template <class Field, class Value>
ContentState set(Field field, Value value) {
  ContentState state = titled("t");
  state.*field = value;
  return state;
}

ContentState withActions(std::vector<ActionSpec> actions) {
  ContentState state = titled("t");
  state.actions = std::move(actions);
  return state;
}

template <class Record>
struct PairCase {
  Record a, b;
  bool equal;
};

template <class Record>
void checkPairs(const std::vector<PairCase<Record>>& cases) {
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& [a, b, equal] = cases[i];
    SCOPED_TRACE(testing::Message() << "case " << i << ": " << a << " vs " << b);
    EXPECT_EQ(a == b, equal);
    EXPECT_EQ(b == a, equal);
    EXPECT_EQ(a != b, !equal);
    // Different feeds; with a 64-bit hash a collision here would be a defect, not chance.
    EXPECT_EQ(hashValue(a) == hashValue(b), equal);
    EXPECT_EQ(hashValue(a, 0x9E3779B97F4A7C15ULL) == hashValue(b, 0x9E3779B97F4A7C15ULL), equal);
  }
}

TEST(Equality, ContentStatePairs) {
  const std::string eAcute = "\xC3\xA9", eCombining = "e\xCC\x81";
  const std::string nul(1, '\0');
  checkPairs<ContentState>({
      // Absence is a state of its own, and each field is its own place.
      {titled("t"), titled("t"), true},
      {titled("t"), set(&ContentState::body, ""), false},
      {titled("t"), set(&ContentState::detail, ""), false},
      {titled("t"), set(&ContentState::tone, ""), false},
      {titled("t"), set(&ContentState::timerDirection, ""), false},
      {titled("t"), set(&ContentState::progress, 0.0), false},
      {titled("t"), withActions({}), false},
      {set(&ContentState::body, "x"), set(&ContentState::detail, "x"), false},
      {set(&ContentState::timerStart, 5), set(&ContentState::timerEnd, 5), false},
      {set(&ContentState::title, "ab"), set(&ContentState::body, "bc"), false},
      // Doubles: -0 equals 0 in every field; the next double differs.
      {set(&ContentState::progress, 0.0), set(&ContentState::progress, -0.0), true},
      {set(&ContentState::timerStart, 0.0), set(&ContentState::timerStart, -0.0), true},
      {set(&ContentState::timerEnd, -0.0), set(&ContentState::timerEnd, 0.0), true},
      {set(&ContentState::progress, 0.4), set(&ContentState::progress, std::nextafter(0.4, 1.0)),
       false},
      // Strings compare under canonical equivalence, and only under it (the conformance test
      // covers the title against Unicode's data; these cover the other fields and the edges).
      {titled("Caf" + eAcute), titled("Cafe\xCC\x81"), true},
      {set(&ContentState::body, eAcute), set(&ContentState::body, eCombining), true},
      {withActions({{"a", eAcute, {}}}), withActions({{"a", eCombining, {}}}), true},
      {titled("273 \xE2\x84\xAA"), titled("273 K"), true},  // KELVIN SIGN
      {titled("a\xCC\xA3\xCC\x87"), titled("a\xCC\x87\xCC\xA3"), true},
      {titled("x" + nul + eCombining), titled("x" + nul + eAcute), true},
      {titled(eCombining + nul + "y"), titled(eAcute + nul + "y"), true},
      {titled("a" + nul + "b"), titled("a" + nul + "c"), false},
      {titled("Title"), titled("title"), false},
      {titled("t "), titled("t"), false},
      {titled(eAcute), titled("\xC3\xA8"), false},
      {titled(eCombining), titled("e"), false},
      {titled("\xEF\xAC\x81"), titled("fi"), false},  // compatibility is not canonical
      {titled("\xFF"), titled("\xFE"), false},
      {titled("a\xFF"), titled("a\xFF"), true},
      // Actions: order, count and every element.
      {withActions({{"a", "A", true}, {"b", "B", {}}}),
       withActions({{"a", "A", true}, {"b", "B", {}}}), true},
      {withActions({{"a", "A", {}}, {"b", "B", {}}}), withActions({{"b", "B", {}}, {"a", "A", {}}}),
       false},
      {withActions({{"a", "A", {}}}), withActions({{"a", "A", {}}, {"a", "A", {}}}), false},
      {withActions({{"a", "A", {}}}), withActions({{"a", "A", true}}), false},
      {withActions({}), withActions({{"", "", {}}}), false},
  });
}

TEST(Equality, ActionSpecPairs) {
  checkPairs<ActionSpec>({
      {{"a", "A", true}, {"a", "A", true}, true},
      {{"a", "A", {}}, {"a", "A", false}, false},
      {{"a", "A", {}}, {"a", "A", true}, false},
      {{"a", "A", false}, {"a", "A", true}, false},
      {{"a", "A", {}}, {"b", "A", {}}, false},
      {{"a", "A", {}}, {"a", "B", {}}, false},
      {{"ab", "c", {}}, {"a", "bc", {}}, false},
      {{"\xC3\xA9", "L", {}}, {"e\xCC\x81", "L", {}}, true},
      {{" a", "L", {}}, {"a", "L", {}}, false},
  });
}

TEST(Equality, NaNIsUnequalEvenToItselfButHashesAsAValue) {
  for (auto field : {&ContentState::progress, &ContentState::timerStart, &ContentState::timerEnd}) {
    ContentState state = titled("t");
    state.*field = std::numeric_limits<double>::quiet_NaN();
    const ContentState copy = state;
    EXPECT_FALSE(state == state);
    EXPECT_FALSE(copy == state);
    EXPECT_EQ(hashValue(state), hashValue(copy));
  }
}

}  // namespace
}  // namespace corvlin
