#include "host/text/timer_format.hpp"

#include <cmath>
#include <cstdio>

namespace corvlin::host {

std::string timerTextAt(const ui::TimerText& timer, double now) {
  const double at = timer.pauseTime ? *timer.pauseTime : now;
  double seconds = timer.countsDown ? timer.upper - at : at - timer.lower;
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // Well beyond any clamped timer; keeps the conversion below defined.
  if (seconds > 1e12) seconds = 1e12;
  // A countdown shows the seconds still to run (rounded up), a count-up the whole seconds passed.
  const auto total =
      static_cast<long long>(timer.countsDown ? std::ceil(seconds) : std::floor(seconds));
  const long long hours = total / 3600;
  const long long minutes = (total / 60) % 60;
  const long long secs = total % 60;
  char buffer[64];
  if (hours > 0 && timer.showsHours) {
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", hours, minutes, secs);
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, secs);
  }
  return buffer;
}

}  // namespace corvlin::host
