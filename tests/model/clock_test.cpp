// Clock derivation: clamping and the running / elapsed / hidden cases.
#include "model/clock.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include "model/instant.hpp"
#include "model/records.hpp"

namespace corvlin {
namespace {

constexpr double now = 1767225600;  // 2026-01-01 00:00:00 UTC
constexpr double day = 86400;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct ClockCase {
  std::string name;
  std::optional<std::string> direction;
  std::optional<double> start;
  std::optional<double> end;
  Clock expected;
};

bool sameClock(const Clock& a, const Clock& b) {
  if (a.value.index() != b.value.index()) return false;
  if (const auto* ra = std::get_if<Clock::Running>(&a.value)) {
    const auto& rb = std::get<Clock::Running>(b.value);
    return ra->lower == rb.lower && ra->upper == rb.upper && ra->countsDown == rb.countsDown;
  }
  return true;
}

Clock running(double lower, double upper, bool countsDown) {
  return {Clock::Running{Instant{lower}, Instant{upper}, countsDown}};
}
const Clock elapsed{Clock::Elapsed{}};
const Clock hidden{Clock::Hidden{}};

class ClockDerivation : public testing::TestWithParam<ClockCase> {};

TEST_P(ClockDerivation, GivesTheDocumentedCase) {
  const ClockCase& c = GetParam();
  ContentState state;
  state.title = "t";
  state.timerDirection = c.direction;
  state.timerStart = c.start;
  state.timerEnd = c.end;
  const Clock actual = state.clock(Instant{now});
  EXPECT_TRUE(sameClock(actual, c.expected)) << "actual " << actual << ", expected " << c.expected;
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ClockDerivation,
    testing::Values(
        ClockCase{"DirectionAbsentBothInstants", std::nullopt, now - 60, now + 60, hidden},
        ClockCase{"DownEndEqualsNowIsElapsed", "down", std::nullopt, now, elapsed},
        ClockCase{"DownEndIn90s", "down", std::nullopt, now + 90, running(now, now + 90, true)},
        ClockCase{"DownEndIn3DaysClamped", "down", std::nullopt, now + 3 * day,
                  running(now, now + day, true)},
        ClockCase{"DownEnd10DaysAgoElapsed", "down", std::nullopt, now - 10 * day, elapsed},
        ClockCase{"DownEndFarPastElapsed", "down", std::nullopt, -1e300, elapsed},
        ClockCase{"DownEndFarFutureClamped", "down", std::nullopt, 1e300,
                  running(now, now + day, true)},
        ClockCase{"DownEndAbsentStartPresent", "down", now - 60, std::nullopt, hidden},
        ClockCase{"DownEndNaN", "down", std::nullopt, nan, hidden},
        ClockCase{"DownEndInfinite", "down", std::nullopt, inf, hidden},
        ClockCase{"DownEndMinusInfinite", "down", std::nullopt, -inf, hidden},
        ClockCase{"DownIgnoresStart", "down", nan, now + 90, running(now, now + 90, true)},
        ClockCase{"UpStart5MinAgo", "up", now - 300, std::nullopt,
                  running(now - 300, distantFuture.timeIntervalSince1970, false)},
        ClockCase{"UpStartIn10MinPulledToNow", "up", now + 600, std::nullopt,
                  running(now, distantFuture.timeIntervalSince1970, false)},
        ClockCase{"UpStart3DaysAgoClamped", "up", now - 3 * day, std::nullopt,
                  running(now - day, distantFuture.timeIntervalSince1970, false)},
        ClockCase{"UpStartEqualsNow", "up", now, std::nullopt,
                  running(now, distantFuture.timeIntervalSince1970, false)},
        ClockCase{"UpStartAbsentEndPresent", "up", std::nullopt, now + 60, hidden},
        ClockCase{"UpStartNaN", "up", nan, std::nullopt, hidden},
        ClockCase{"UpIgnoresEnd", "up", now - 300, nan,
                  running(now - 300, distantFuture.timeIntervalSince1970, false)},
        ClockCase{"CapitalDown", "Down", now - 60, now + 60, hidden},
        ClockCase{"UpperCaseUp", "UP", now - 60, now + 60, hidden},
        ClockCase{"LeadingSpaceDown", " down", now - 60, now + 60, hidden},
        ClockCase{"TrailingSpaceUp", "up ", now - 60, now + 60, hidden},
        ClockCase{"EmptyDirection", "", now - 60, now + 60, hidden},
        ClockCase{"Sideways", "sideways", now - 60, now + 60, hidden}),
    [](const testing::TestParamInfo<ClockCase>& p) { return p.param.name; });

TEST(ClockDerivation, DistantFutureIsYear4001AndBeyondEveryClampedStart) {
  EXPECT_EQ(distantFuture.timeIntervalSince1970, 64092211200.0);
  // Even a "now" far in the future keeps the count-up range ordered.
  ContentState state;
  state.timerDirection = "up";
  state.timerStart = 64092211200.0 + day * 10;
  const Instant later{64092211200.0 - 2 * day};
  const Clock clock = state.clock(later);
  const auto* r = std::get_if<Clock::Running>(&clock.value);
  ASSERT_NE(r, nullptr);
  EXPECT_LE(r->lower, r->upper);
  EXPECT_EQ(r->lower, later);
}

TEST(ClockDerivation, RunningRangeIsNeverInverted) {
  // Pinned instants past the year 4001 included: a count-up there once ran backwards.
  for (double at : {now, distantFuture.timeIntervalSince1970 + day, 1.7e15, 1e300}) {
    for (double offset : {-1e9, -day - 1, -day, -1.0, -0.5, 0.0, 0.5, 1.0, day, day + 1, 1e9}) {
      for (const char* direction : {"down", "up"}) {
        ContentState state;
        state.timerDirection = direction;
        state.timerStart = at + offset;
        state.timerEnd = at + offset;
        const Clock clock = state.clock(Instant{at});
        if (const auto* r = std::get_if<Clock::Running>(&clock.value)) {
          EXPECT_LE(r->lower, r->upper) << direction << " at " << at << " offset " << offset;
        }
      }
    }
  }
}

struct ClampCase {
  std::string name;
  std::optional<double> value;
  std::optional<double> expected;
};

class ClampedInstant : public testing::TestWithParam<ClampCase> {};

TEST_P(ClampedInstant, StaysWithinADayOfNow) {
  const ClampCase& c = GetParam();
  const auto actual = clampedInstant(c.value, Instant{now});
  ASSERT_EQ(actual.has_value(), c.expected.has_value());
  if (actual) {
    EXPECT_EQ(actual->timeIntervalSince1970, *c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ClampedInstant,
    testing::Values(ClampCase{"Absent", std::nullopt, std::nullopt},
                    ClampCase{"NaN", nan, std::nullopt},
                    ClampCase{"PlusInfinity", inf, std::nullopt},
                    ClampCase{"MinusInfinity", -inf, std::nullopt}, ClampCase{"Now", now, now},
                    ClampCase{"Fraction", now + 0.25, now + 0.25},
                    ClampCase{"ExactlyADayAhead", now + day, now + day},
                    ClampCase{"MoreThanADayAhead", now + day + 1, now + day},
                    ClampCase{"ExactlyADayAgo", now - day, now - day},
                    ClampCase{"MoreThanADayAgo", now - day - 1, now - day},
                    ClampCase{"Epoch", 0.0, now - day}, ClampCase{"NegativeZero", -0.0, now - day},
                    ClampCase{"Huge", std::numeric_limits<double>::max(), now + day},
                    ClampCase{"DistantFuture", 64092211200.0, now + day}),
    [](const testing::TestParamInfo<ClampCase>& p) { return p.param.name; });

TEST(ClockPrinting, IsReadable) {
  std::ostringstream out;
  out << running(now, now + 90, true) << ' ' << elapsed << ' ' << hidden;
  EXPECT_EQ(out.str(), "running(1767225600...1767225690, countsDown: true) elapsed hidden");
}

}  // namespace
}  // namespace corvlin
