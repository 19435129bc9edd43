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

Clock running(double lower, double upper, bool countsDown) {
  return {Clock::Running{Instant{lower}, Instant{upper}, countsDown}};
}
const Clock elapsed{Clock::Elapsed{}};
const Clock hidden{Clock::Hidden{}};

bool sameClock(const Clock& a, const Clock& b) {
  const auto* ra = std::get_if<Clock::Running>(&a.value);
  const auto* rb = std::get_if<Clock::Running>(&b.value);
  if (a.value.index() != b.value.index() || !ra) return a.value.index() == b.value.index();
  return ra->lower == rb->lower && ra->upper == rb->upper && ra->countsDown == rb->countsDown;
}

TEST(ClockDerivation, EdgeCases) {
  const double far = distantFuture.timeIntervalSince1970;
  const std::optional<double> none;
  const struct {
    std::optional<std::string> direction;
    std::optional<double> start, end;
    Clock expected;
  } cases[] = {
      {std::nullopt, now - 60, now + 60, hidden},
      {"down", none, now, elapsed},
      {"down", none, now + 90, running(now, now + 90, true)},
      {"down", none, now + 3 * day, running(now, now + day, true)},
      {"down", none, now - 10 * day, elapsed},
      {"down", none, -1e300, elapsed},
      {"down", none, 1e300, running(now, now + day, true)},
      {"down", now - 60, none, hidden},
      {"down", none, nan, hidden},
      {"down", none, inf, hidden},
      {"down", none, -inf, hidden},
      {"down", nan, now + 90, running(now, now + 90, true)},
      {"up", now - 300, none, running(now - 300, far, false)},
      {"up", now + 600, none, running(now, far, false)},
      {"up", now - 3 * day, none, running(now - day, far, false)},
      {"up", now, none, running(now, far, false)},
      {"up", none, now + 60, hidden},
      {"up", nan, none, hidden},
      {"up", now - 300, nan, running(now - 300, far, false)},
      {"Down", now - 60, now + 60, hidden},
      {"UP", now - 60, now + 60, hidden},
      {" down", now - 60, now + 60, hidden},
      {"up ", now - 60, now + 60, hidden},
      {"", now - 60, now + 60, hidden},
      {"sideways", now - 60, now + 60, hidden},
  };
  for (const auto& c : cases) {
    ContentState state;
    state.timerDirection = c.direction;
    state.timerStart = c.start;
    state.timerEnd = c.end;
    const Clock actual = state.clock(Instant{now});
    EXPECT_TRUE(sameClock(actual, c.expected))
        << c.direction.value_or("<absent>") << " " << c.start.value_or(-1) << " "
        << c.end.value_or(-1) << ": actual " << actual << ", expected " << c.expected;
  }
}

TEST(ClockDerivation, RunningRangeIsNeverInverted) {
  EXPECT_EQ(distantFuture.timeIntervalSince1970, 64092211200.0);  // the year 4001
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
  ContentState state;
  state.timerDirection = "up";
  state.timerStart = 64092211200.0 + day * 10;
  const Instant later{64092211200.0 - 2 * day};
  const Clock clock = state.clock(later);
  ASSERT_TRUE(std::holds_alternative<Clock::Running>(clock.value));
  EXPECT_EQ(std::get<Clock::Running>(clock.value).lower, later);
}

TEST(ClampedInstant, StaysWithinADayOfNow) {
  const struct {
    std::optional<double> value, expected;
  } cases[] = {// clang-format off
      {std::nullopt, std::nullopt}, {nan, std::nullopt}, {inf, std::nullopt},
      {-inf, std::nullopt}, {now, now}, {now + 0.25, now + 0.25}, {now + day, now + day},
      {now + day + 1, now + day}, {now - day, now - day}, {now - day - 1, now - day},
      {0.0, now - day}, {-0.0, now - day}, {std::numeric_limits<double>::max(), now + day},
      {64092211200.0, now + day}};
  // clang-format on
  for (const auto& c : cases) {
    const auto actual = clampedInstant(c.value, Instant{now});
    const auto seconds = actual ? std::optional(actual->timeIntervalSince1970) : std::nullopt;
    EXPECT_EQ(seconds, c.expected) << c.value.value_or(-1);
  }
}

TEST(ClockPrinting, IsReadable) {
  std::ostringstream out;
  out << running(now, now + 90, true) << ' ' << elapsed << ' ' << hidden;
  EXPECT_EQ(out.str(), "running(1767225600...1767225690, countsDown: true) elapsed hidden");
}

}  // namespace
}  // namespace corvlin
