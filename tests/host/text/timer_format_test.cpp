#include "host/text/timer_format.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

TEST(TimerFormat, ShowsTimeLeftOrPassedAtTheInstant) {
  struct Case {
    const char* name;
    ui::TimerText timer;
    double now;
    const char* expected;
  };
  const double t = 1767225600;
  const Case cases[] = {
      {"countdown of 90 s", {t - 90, t, true, std::nullopt, true}, t - 90, "1:30"},
      {"countdown part way through a second",
       {t - 90, t, true, std::nullopt, true},
       t - 0.4,
       "0:01"},
      {"countdown at its end", {t - 90, t, true, std::nullopt, true}, t, "0:00"},
      {"countdown past its end stays at zero",
       {t - 90, t, true, std::nullopt, true},
       t + 50,
       "0:00"},
      {"countdown of a day shows hours",
       {t - 86400, t, true, std::nullopt, true},
       t - 86400,
       "24:00:00"},
      {"just under an hour", {t - 3599, t, true, std::nullopt, true}, t - 3599, "59:59"},
      {"an hour exactly", {t - 3600, t, true, std::nullopt, true}, t - 3600, "1:00:00"},
      {"without hours, minutes run on",
       {t - 3600, t, true, std::nullopt, false},
       t - 3661,
       "61:01"},
      {"count-up of five minutes", {t - 300, 64092211200, false, std::nullopt, true}, t, "5:00"},
      {"count-up truncates", {t - 300.9, 64092211200, false, std::nullopt, true}, t, "5:00"},
      {"count-up of a day", {t - 86400, 64092211200, false, std::nullopt, true}, t, "24:00:00"},
      {"paused timer shows the pause instant", {t - 90, t, true, t - 30, true}, t - 80, "0:30"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(timerTextAt(c.timer, c.now), c.expected);
  }
}

}  // namespace
}  // namespace corvlin::host
