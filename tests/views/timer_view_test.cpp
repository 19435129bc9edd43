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
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    ContentState state;
    ui::View expected;
  };
  const Case cases[] = {
      {"no direction", timer(std::nullopt, t - 10, t + 10), ui::emptyView()},
      {"down, 90 s ahead", timer("down", std::nullopt, t + 90), timerText(t, t + 90, true)},
      {"down, 3 days ahead is pulled in", timer("down", std::nullopt, t + 3 * day),
       timerText(t, t + day, true)},
      {"down, end equal to now", timer("down", std::nullopt, t), finished()},
      {"down, 10 days ago", timer("down", std::nullopt, t - 10 * day), finished()},
      {"down without end", timer("down", t - 10, std::nullopt), ui::emptyView()},
      {"down, NaN end", timer("down", std::nullopt, nan), ui::emptyView()},
      {"down, infinite end", timer("down", std::nullopt, inf), ui::emptyView()},
      {"up, 5 min ago", timer("up", t - 300, std::nullopt),
       timerText(t - 300, distantFuture.timeIntervalSince1970, false)},
      {"up, start ahead starts from now", timer("up", t + 600, std::nullopt),
       timerText(t, distantFuture.timeIntervalSince1970, false)},
      {"up, 3 days ago is pulled in", timer("up", t - 3 * day, std::nullopt),
       timerText(t - day, distantFuture.timeIntervalSince1970, false)},
      {"up without start", timer("up", std::nullopt, t + 90), ui::emptyView()},
      {"Down", timer("Down", std::nullopt, t + 90), ui::emptyView()},
      {"UP", timer("UP", t - 300, std::nullopt), ui::emptyView()},
      {"leading space", timer(" down", std::nullopt, t + 90), ui::emptyView()},
      {"empty direction", timer("", t - 300, t + 90), ui::emptyView()},
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
