// Instants: seconds since 1970-01-01 00:00:00 UTC, and the one seam through which "now" enters.
#pragma once

#include <compare>
#include <functional>

namespace corvlin {

struct Instant {
  double timeIntervalSince1970 = 0;

  Instant addingTimeInterval(double seconds) const { return {timeIntervalSince1970 + seconds}; }
  friend auto operator<=>(const Instant&, const Instant&) = default;
};

// A fixed instant so far ahead that no count-up reaches it: 4001-01-01 00:00:00 UTC.
inline constexpr Instant distantFuture{64092211200.0};

// Reads the current instant. Views that depend on time take one of these, so that a caller
// (the runner, a test) decides where "now" comes from; nothing below reads the clock itself.
using Now = std::function<Instant()>;

// A Now that always answers the same instant.
inline Now fixedNow(Instant instant) {
  return [instant] { return instant; };
}

}  // namespace corvlin
