// Deriving the timer state: clamping untrusted instants to within a day of now.
#pragma once

#include <optional>

#include "model/instant.hpp"
#include "model/records.hpp"

namespace corvlin {

inline constexpr double clampWindowSeconds = 86400;

// The instant `value` seconds after 1970, moved to within one day of `around`;
// absent when the value is absent or not finite.
std::optional<Instant> clampedInstant(std::optional<double> value, Instant around);

}  // namespace corvlin
