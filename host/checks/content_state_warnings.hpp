// Warnings for a decoded content state, its actions and attributes: what the phone would show
// differently from what the payload most likely meant. Decoding and drawing are unchanged.
#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "host/warning/warning.hpp"
#include "model/instant.hpp"
#include "model/records.hpp"

namespace corvlin::host {

// The platform refuses an activity whose coded content state is larger than this.
inline constexpr std::size_t activityDataBudgetBytes = 4096;

// Seconds since 1970 above this (the year 5138) are taken for milliseconds.
inline constexpr double millisecondsInstantThreshold = 1e11;

// The warnings for `state`, decoded from `raw` (an element from json::parse). Those that
// depend on the instant (instantFarFromNow, alreadyEnded) need `renderAt`, the instant the
// activity is drawn for. Every path starts with `prefix`, for a state inside a larger document.
std::vector<Warning> contentStateWarnings(simdjson::dom::element raw, const ContentState& state,
                                          std::optional<Instant> renderAt,
                                          const CodingPath& prefix = {});

// The warnings for attributes decoded from `raw`: members that no attribute reads.
std::vector<Warning> attributesWarnings(simdjson::dom::element raw, const CodingPath& prefix = {});

// A millisecondsInstant warning when `seconds`, the value at `path` (whose last step names it),
// is above the threshold; its hint is the value divided by 1000.
std::optional<Warning> millisecondsInstantWarning(double seconds, const CodingPath& path);

}  // namespace corvlin::host
