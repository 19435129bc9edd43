#include "model/clock.hpp"

#include <cmath>

namespace corvlin {

std::optional<Instant> clampedInstant(std::optional<double> value, Instant around) {
  if (!value || !std::isfinite(*value)) return std::nullopt;
  const Instant d{*value};
  const Instant lo = around.addingTimeInterval(-clampWindowSeconds);
  const Instant hi = around.addingTimeInterval(clampWindowSeconds);
  const Instant c = lo >= d ? lo : d;
  return hi < c ? hi : c;
}

Clock ContentState::clock(Instant now) const {
  if (!timerDirection) return {Clock::Hidden{}};
  if (*timerDirection == "down") {
    const auto end = clampedInstant(timerEnd, now);
    if (!end) return {Clock::Hidden{}};
    if (*end > now) return {Clock::Running{now, *end, true}};
    return {Clock::Elapsed{}};
  }
  if (*timerDirection == "up") {
    const auto start = clampedInstant(timerStart, now);
    if (!start) return {Clock::Hidden{}};
    const Instant lower = now < *start ? now : *start;
    // Only a pinned "now" can lie past the distant future; the range then ends where it starts
    // rather than running backwards.
    const Instant upper = distantFuture < lower ? lower : distantFuture;
    return {Clock::Running{lower, upper, false}};
  }
  return {Clock::Hidden{}};
}

}  // namespace corvlin
