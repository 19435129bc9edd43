// The envelope pass: what the phone would do with a decoded remote update that its sender
// probably did not mean. Warnings only; what decodes is never changed.
#pragma once

#include <simdjson.h>

#include <optional>
#include <vector>

#include "host/warning/warning.hpp"
#include "model/instant.hpp"
#include "updates/envelope.hpp"

namespace corvlin::host {

// Warnings on an envelope that decoded from `root` ({"aps":...}), paths from the envelope's
// root: unknown members of "aps", its dates in milliseconds, a dismissal date on an event other
// than "end", a stale-date already past (staleOnArrival), then the content state's and the
// attributes' own warnings under their members. Those that depend on the instant the activity is
// drawn for need `renderAt`; the stale-date is judged against the timestamp and against
// `arrivedAt`, the instant the push reaches the phone, when there is one. The first form takes
// the push to arrive when it is drawn (render, serve).
std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt = std::nullopt);
std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt,
                                      std::optional<Instant> arrivedAt);

// staleOnArrival: the envelope's stale-date is at or before its timestamp (one in seconds), or
// at or before `arrivedAt`, so the phone marks the activity stale as soon as it applies it. An
// "end" reads no stale-date, and has none.
std::optional<Warning> staleOnArrivalWarning(const updates::Envelope& envelope,
                                             std::optional<Instant> arrivedAt);

}  // namespace corvlin::host
