// The envelope pass: what the phone would do with a decoded remote update that its sender
// probably did not mean. Warnings only; what decodes is never changed.
#pragma once

#include <simdjson.h>

#include <optional>
#include <vector>

#include "host/checks/warning.hpp"
#include "model/instant.hpp"
#include "updates/envelope.hpp"

namespace corvlin::host {

// Warnings on an envelope that decoded from `root` ({"aps":...}), paths from the envelope's
// root: unknown members of "aps", its dates in milliseconds, a dismissal date on an event other
// than "end", then the content state's and the attributes' own warnings under their members.
// Those that depend on the instant the activity is drawn for need `renderAt`.
std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt = std::nullopt);

}  // namespace corvlin::host
