// The envelope pass: what the phone would do with a decoded remote update that its sender
// probably did not mean. Warnings only; what decodes is never changed.
#pragma once

#include <simdjson.h>

#include <string_view>
#include <vector>

#include "host/checks/warning.hpp"
#include "updates/envelope.hpp"

namespace corvlin::host {

// A timestamp, stale date, dismissal date or timer instant above this is taken for
// milliseconds: as seconds it would lie past the year 5000.
inline constexpr double millisecondsThreshold = 1e11;

// Warnings on an envelope that decoded from `root` ({"aps":...}): unknown members of "aps"
// first, then the others in member order; paths from the envelope's root.
std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope);

// The key of `known` nearest to `name`: equal ignoring case, or within two edits; empty when
// none is that near.
std::string_view nearestKey(std::string_view name, const std::vector<std::string_view>& known);

}  // namespace corvlin::host
