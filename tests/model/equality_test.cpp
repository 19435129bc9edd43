// Equality and hashing of the records, table-driven: every pair that is equal must
// hash alike (seed 0 and a caller's seed); the pairs that the document says feed different
// sequences must hash differently.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "model/coding.hpp"
#include "model/hasher.hpp"
#include "model/records.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::CaseName;
using testing_support::titled;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

ContentState with(auto change) {
  ContentState state = titled("t");
  change(state);
  return state;
}

ContentState withActions(std::vector<ActionSpec> actions) {
  ContentState state = titled("t");
  state.actions = std::move(actions);
  return state;
}

enum class Expect { equal, unequal };

template <class Record>
struct PairCase {
  std::string name;
  Record a;
  Record b;
  Expect expect;
};

template <class Record>
void checkPair(const PairCase<Record>& c) {
  if (c.expect == Expect::equal) {
    EXPECT_TRUE(c.a == c.b) << c.a << " vs " << c.b;
    EXPECT_TRUE(c.b == c.a);
    EXPECT_FALSE(c.a != c.b);
    EXPECT_EQ(hashValue(c.a), hashValue(c.b));
    EXPECT_EQ(hashValue(c.a, 0x9E3779B97F4A7C15ULL), hashValue(c.b, 0x9E3779B97F4A7C15ULL));
  } else {
    EXPECT_FALSE(c.a == c.b) << c.a << " vs " << c.b;
    EXPECT_FALSE(c.b == c.a);
    EXPECT_TRUE(c.a != c.b);
    // Different feeds; with a 64-bit hash a collision here would be a defect, not chance.
    EXPECT_NE(hashValue(c.a), hashValue(c.b));
    EXPECT_NE(hashValue(c.a, 7), hashValue(c.b, 7));
  }
}

using StateCase = PairCase<ContentState>;
using ActionCase = PairCase<ActionSpec>;

class ContentStateEquality : public testing::TestWithParam<StateCase> {};
TEST_P(ContentStateEquality, EqualityAndHashAgree) { checkPair(GetParam()); }

class ActionSpecEquality : public testing::TestWithParam<ActionCase> {};
TEST_P(ActionSpecEquality, EqualityAndHashAgree) { checkPair(GetParam()); }

// "é" precomposed and decomposed, and other canonically equivalent spellings.
const std::string eAcute = "\xC3\xA9";
const std::string eCombining = "e\xCC\x81";

INSTANTIATE_TEST_SUITE_P(
    AbsenceIsAStateOfItsOwn, ContentStateEquality,
    testing::Values(
        StateCase{"AllAbsentSameTitle", titled("t"), titled("t"), Expect::equal},
        StateCase{"BodyAbsentVsEmpty", titled("t"), with([](ContentState& s) { s.body = ""; }),
                  Expect::unequal},
        StateCase{"DetailAbsentVsEmpty", titled("t"), with([](ContentState& s) { s.detail = ""; }),
                  Expect::unequal},
        StateCase{"ToneAbsentVsEmpty", titled("t"), with([](ContentState& s) { s.tone = ""; }),
                  Expect::unequal},
        StateCase{"TimerDirectionAbsentVsEmpty", titled("t"),
                  with([](ContentState& s) { s.timerDirection = ""; }), Expect::unequal},
        StateCase{"ProgressAbsentVsZero", titled("t"),
                  with([](ContentState& s) { s.progress = 0.0; }), Expect::unequal},
        StateCase{"ActionsAbsentVsEmpty", titled("t"), withActions({}), Expect::unequal},
        StateCase{"BodyVsDetailSameText", with([](ContentState& s) { s.body = "x"; }),
                  with([](ContentState& s) { s.detail = "x"; }), Expect::unequal},
        StateCase{"TimerStartVsTimerEnd", with([](ContentState& s) { s.timerStart = 5; }),
                  with([](ContentState& s) { s.timerEnd = 5; }), Expect::unequal}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(
    Doubles, ContentStateEquality,
    testing::Values(
        StateCase{"ProgressZeroVsNegativeZero", with([](ContentState& s) { s.progress = 0.0; }),
                  with([](ContentState& s) { s.progress = -0.0; }), Expect::equal},
        StateCase{"TimerStartZeroVsNegativeZero", with([](ContentState& s) { s.timerStart = 0.0; }),
                  with([](ContentState& s) { s.timerStart = -0.0; }), Expect::equal},
        StateCase{"TimerEndZeroVsNegativeZero", with([](ContentState& s) { s.timerEnd = -0.0; }),
                  with([](ContentState& s) { s.timerEnd = 0.0; }), Expect::equal},
        StateCase{"ProgressDiffers", with([](ContentState& s) { s.progress = 0.4; }),
                  with([](ContentState& s) { s.progress = 0.5; }), Expect::unequal},
        StateCase{"ProgressNextDouble", with([](ContentState& s) { s.progress = 0.4; }),
                  with([](ContentState& s) { s.progress = std::nextafter(0.4, 1.0); }),
                  Expect::unequal}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(
    Strings, ContentStateEquality,
    testing::Values(
        StateCase{"TitleNfcVsNfd", titled("Caf" + eAcute), titled("Cafe\xCC\x81"), Expect::equal},
        StateCase{"BodyNfcVsNfd", with([](ContentState& s) { s.body = eAcute; }),
                  with([](ContentState& s) { s.body = eCombining; }), Expect::equal},
        StateCase{"ActionLabelNfcVsNfd", withActions({{"a", eAcute, {}}}),
                  withActions({{"a", eCombining, {}}}), Expect::equal},
        StateCase{"KelvinSignIsK", titled("273 \xE2\x84\xAA"), titled("273 K"), Expect::equal},
        StateCase{"GreekQuestionMarkIsSemicolon", titled("a\xCD\xBE"), titled("a;"), Expect::equal},
        StateCase{"AngstromSignIsARing", titled("\xE2\x84\xAB"), titled("A\xCC\x8A"),
                  Expect::equal},
        StateCase{"HangulSyllableVsJamo", titled("\xEA\xB0\x80"),
                  titled("\xE1\x84\x80\xE1\x85\xA1"), Expect::equal},
        StateCase{"CombiningMarksReordered", titled("a\xCC\xA3\xCC\x87"),
                  titled("a\xCC\x87\xCC\xA3"), Expect::equal},
        StateCase{"EmbeddedNulThenNfd", titled(std::string("x\0", 2) + eCombining),
                  titled(std::string("x\0", 2) + eAcute), Expect::equal},
        StateCase{"NfdBeforeEmbeddedNul", titled(eCombining + std::string("\0y", 2)),
                  titled(eAcute + std::string("\0y", 2)), Expect::equal},
        StateCase{"EmbeddedNulDiffers", titled(std::string("a\0b", 3)),
                  titled(std::string("a\0c", 3)), Expect::unequal},
        StateCase{"CaseSensitive", titled("Title"), titled("title"), Expect::unequal},
        StateCase{"NoTrimming", titled("t "), titled("t"), Expect::unequal},
        StateCase{"DifferentAccents", titled(eAcute), titled("\xC3\xA8"), Expect::unequal},
        StateCase{"AccentVsPlainLetter", titled(eCombining), titled("e"), Expect::unequal},
        StateCase{"CompatibilityIsNotCanonical", titled("\xEF\xAC\x81"), titled("fi"),
                  Expect::unequal},
        StateCase{"InvalidUtf8ByBytes", titled("\xFF"), titled("\xFE"), Expect::unequal},
        StateCase{"InvalidUtf8Same", titled("a\xFF"), titled("a\xFF"), Expect::equal},
        StateCase{"StringsDoNotRunTogether", with([](ContentState& s) {
                    s.title = "ab";
                    s.body = "c";
                  }),
                  with([](ContentState& s) {
                    s.title = "a";
                    s.body = "bc";
                  }),
                  Expect::unequal}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(
    Actions, ContentStateEquality,
    testing::Values(StateCase{"SameActions", withActions({{"a", "A", true}, {"b", "B", {}}}),
                              withActions({{"a", "A", true}, {"b", "B", {}}}), Expect::equal},
                    StateCase{"OtherOrder", withActions({{"a", "A", {}}, {"b", "B", {}}}),
                              withActions({{"b", "B", {}}, {"a", "A", {}}}), Expect::unequal},
                    StateCase{"OneMore", withActions({{"a", "A", {}}}),
                              withActions({{"a", "A", {}}, {"a", "A", {}}}), Expect::unequal},
                    StateCase{"ElementDiffers", withActions({{"a", "A", {}}}),
                              withActions({{"a", "A", false}}), Expect::unequal},
                    StateCase{"EmptyVsOneEmptyAction", withActions({}), withActions({{"", "", {}}}),
                              Expect::unequal}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(
    Fields, ActionSpecEquality,
    testing::Values(
        ActionCase{"Same", {"a", "A", true}, {"a", "A", true}, Expect::equal},
        ActionCase{"AbsentVsFalse", {"a", "A", {}}, {"a", "A", false}, Expect::unequal},
        ActionCase{"AbsentVsTrue", {"a", "A", {}}, {"a", "A", true}, Expect::unequal},
        ActionCase{"FalseVsTrue", {"a", "A", false}, {"a", "A", true}, Expect::unequal},
        ActionCase{"ActionIdDiffers", {"a", "A", {}}, {"b", "A", {}}, Expect::unequal},
        ActionCase{"LabelDiffers", {"a", "A", {}}, {"a", "B", {}}, Expect::unequal},
        ActionCase{"IdAndLabelDoNotRunTogether", {"ab", "c", {}}, {"a", "bc", {}}, Expect::unequal},
        ActionCase{"IdNfcVsNfd", {eAcute, "L", {}}, {eCombining, "L", {}}, Expect::equal},
        ActionCase{"IdIsNotTrimmedHere", {" a", "L", {}}, {"a", "L", {}}, Expect::unequal}),
    CaseName{});

TEST(ContentStateEqualityNaN, NaNIsUnequalEvenToItself) {
  for (auto field : {&ContentState::progress, &ContentState::timerStart, &ContentState::timerEnd}) {
    ContentState state = titled("t");
    state.*field = nan;
    EXPECT_FALSE(state == state);
    const ContentState copy = state;
    EXPECT_FALSE(copy == state);
    // Hashing stays a function of the value.
    EXPECT_EQ(hashValue(state), hashValue(copy));
  }
}

TEST(ContentStateEqualityNaN, ComparisonStopsAtTheFirstDifferenceButStillCoversAllFields) {
  ContentState a = titled("t");
  a.actions = std::vector<ActionSpec>{{"x", "y", {}}};
  ContentState b = a;
  EXPECT_TRUE(a == b);
  (*b.actions)[0].requiresAuth = true;  // only the very last unit differs
  EXPECT_FALSE(a == b);
}

TEST(ContentStateEqualityCopies, ACopyIsEqualAndIndependent) {
  const auto decoded =
      decodeContentState(R"({"title":"t","actions":[{"actionId":"a","label":"b"}]})");
  ASSERT_TRUE(decoded.ok());
  ContentState copy = decoded.value();
  EXPECT_EQ(copy, decoded.value());
  (*copy.actions)[0].label = "c";
  EXPECT_NE(copy, decoded.value());
  EXPECT_EQ((*decoded.value().actions)[0].label, "b");
}

}  // namespace
}  // namespace corvlin
