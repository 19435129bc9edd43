// Reading a replay's timeline: JSON lines or one JSON array of records, each an envelope
// arriving at its own timestamp or {"at": SECONDS, "payload": ENVELOPE}.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "host/checks/warning.hpp"
#include "model/json/error.hpp"
#include "model/result.hpp"
#include "updates/replay.hpp"

namespace corvlin::host {

// A timeline longer than this is refused: each step is drawn on one page.
inline constexpr std::size_t maxTimelineRecords = 1000;

struct Timeline {
  std::vector<updates::Record> records;  // in order; a record that does not decode is a Rejection
  // The warnings of the records that decoded, their paths starting with the record's index.
  std::vector<Warning> warnings;
};

// Each record decodes on its own, so that a broken one is rejected and the others still play.
// The timeline itself fails when it holds no record, too many, or is an array that does not
// parse. A record's body over the push service's limit is payloadTooLarge: the line's bytes for
// an envelope on a line of its own, else the compact form's.
Result<Timeline, DecodingError> readTimeline(std::string_view bytes);

}  // namespace corvlin::host
