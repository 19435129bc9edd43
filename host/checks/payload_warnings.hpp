// The warnings of a whole payload as the commands read it: one content state or attributes
// record, the {"attributes", "contentState"} form, a push envelope, or a list of these.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "host/payload/activity.hpp"
#include "host/warning/warning.hpp"
#include "model/instant.hpp"

namespace corvlin::host {

// The members an activity in the wrapped form may hold besides the two records.
inline constexpr std::array<std::string_view, 3> activityKeys{"contentState", "attributes", "now"};

// One list of warnings per entry of `payload`, which decodePayload read from `bytes` (its records
// may since have been adjusted, as the default activity's countdown is). Paths start as the
// decoding errors' do: with the index in a list, with "contentState" or "attributes" in the
// wrapped form; an envelope's start with "aps". An entry that did not decode has none.
std::vector<std::vector<Warning>> payloadWarnings(std::string_view bytes, const Payload& payload,
                                                  std::optional<Instant> renderAt);

// The warnings of a document that decoded as one attributes record.
std::vector<Warning> attributesDocumentWarnings(std::string_view bytes);

}  // namespace corvlin::host
