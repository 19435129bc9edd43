// Reading a replay's timeline: JSON lines or one JSON array of records, each an envelope
// arriving at its own timestamp, {"at": SECONDS, "payload": ENVELOPE}, or a broadcast,
// {"channel": ID, "at": SECONDS, "push": ENVELOPE}: one push sent to a broadcast channel.
//
// An envelope arrives at its timestamp only when that is a plausible instant in seconds (from
// 1970 up to the point where it looks like milliseconds); otherwise it arrives right after the
// record before it, and the update rules then take it as a phone would. An explicit "at" must lie
// between 1970 and the end of the year 9999, else the record is refused. A broadcast needs its
// "at" and a non-empty channel id, and is refused when it is a start: a broadcast cannot start
// an activity.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "host/warning/warning.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "updates/replay.hpp"

namespace corvlin::host {

// A timeline longer than this is refused: each step is drawn on one page.
inline constexpr std::size_t maxTimelineRecords = 1000;

// The arrival instants a replay can show: 1970-01-01 to 9999-12-31 23:59:59 UTC.
inline constexpr double earliestArrival = 0;
inline constexpr double latestArrival = 253402300799;

struct Timeline {
  std::vector<updates::Record> records;  // in order; a record that does not decode is a Rejection
  // Beside `records`: each record's warnings, their paths from the record's own root.
  std::vector<std::vector<Warning>> warnings;
};

// Each record decodes on its own, so that a broken one is rejected and the others still play.
// The timeline itself fails when it holds no record, too many, or is an array that does not
// parse. A record's body over the push service's limit (a broadcast's as a device push's) is
// payloadTooLarge: the line's bytes for an envelope on a line of its own, else the compact
// form's.
Result<Timeline, DecodingError> readTimeline(std::string_view bytes);

}  // namespace corvlin::host
