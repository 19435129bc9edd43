#include "views/timer_view.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/views/view_test_support.hpp"

namespace corvlin {
namespace {

using test::stateWith;
using test::T0;

ui::View timerText(double lower, double upper, bool countsDown) {
  return ui::View{ui::TimerText{lower, upper, countsDown, std::nullopt, true}, {}}.with(
      ui::MultilineTextAlignment{ui::TextAlignment::trailing});
}

ui::View finished() {
  return ui::text("0:00").with(ui::MultilineTextAlignment{ui::TextAlignment::trailing});
}

ContentState timer(std::optional<std::string> direction, std::optional<double> start,
                   std::optional<double> end) {
  return stateWith([&](ContentState& s) {
    s.timerDirection = direction;
    s.timerStart = start;
    s.timerEnd = end;
  });
}

TEST(TimerView, ShowsLiveTimerFinishedTextOrNothing) {
  const double t = T0.timeIntervalSince1970;
  const double day = 86400;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    ContentState state;
    ui::View expected;
  };
  // Which clock each state gives is the clock's own test; here each kind of clock's view.
  const Case cases[] = {
      {"no direction", timer(std::nullopt, t - 10, t + 10), ui::emptyView()},
      {"down, 90 s ahead", timer("down", std::nullopt, t + 90), timerText(t, t + 90, true)},
      {"down, 3 days ahead is pulled in", timer("down", std::nullopt, t + 3 * day),
       timerText(t, t + day, true)},
      {"down, end equal to now", timer("down", std::nullopt, t), finished()},
      {"down, NaN end", timer("down", std::nullopt, nan), ui::emptyView()},
      {"up, 5 min ago", timer("up", t - 300, std::nullopt),
       timerText(t - 300, distantFuture.timeIntervalSince1970, false)},
      {"Down", timer("Down", std::nullopt, t + 90), ui::emptyView()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TimerView{c.state}.body(fixedNow(T0)), c.expected);
  }
}

TEST(TimerView, DerivesTheClockAtEachBuild) {
  const TimerView view{test::countdownTo(T0.timeIntervalSince1970 + 90)};
  EXPECT_EQ(view.body(fixedNow(T0)),
            timerText(T0.timeIntervalSince1970, T0.timeIntervalSince1970 + 90, true));
  EXPECT_EQ(view.body(fixedNow(T0.addingTimeInterval(90))), finished());
}

}  // namespace
}  // namespace corvlin
