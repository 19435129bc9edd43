// The server's live page and the events that keep it current, drawn with the preview's renderer.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "host/server/activity_board.hpp"

namespace corvlin::host::server {

// One activity's section as markup, and the style rules its generated classes need. The class
// names carry the drawing's serial, so that a redrawn section never reuses an older one's.
struct DrawnSection {
  std::string html;
  std::string css;
};
DrawnSection drawActivity(const ActivityView& activity);

// The whole page at `now`: every activity, the log, and the script that follows the event
// stream, with its Content-Security-Policy (sent as a header).
struct ServePage {
  std::string html;
  std::string contentSecurityPolicy;
};
ServePage servePage(const std::vector<ActivityView>& activities, const std::deque<LogEntry>& log,
                    double now);
// The page of what the board holds.
ServePage servePage(const ActivityBoard& board, double now);

// An event of the stream for each step of a push the phone took, sent at once:
// {"token","push","step","state","now","log"}, one line of JSON. "push" counts the activity's
// pushes, "state" is the activity's after the step; no drawing, which runs behind.
std::string pushEventJson(const ActivityView& activity, const TakenStep& taken,
                          const LogEntry& entry);
// An event after a drawing of the activity ended: {"token","drawn","presentations","failure",
// "state","now","clipped","html","css"}. "drawn" is the count ("push") of the push whose state
// was drawn; "clipped" the warnings of what the phone would cut off, left out when none.
std::string drawingEventJson(const ActivityView& activity, const std::vector<Warning>& clipped);
// An event after a push the service refused: {"token","refusal","now","log"}.
std::string refusalEventJson(const LogEntry& entry);
// An event after a note of the file watch: {"token","watch","now","log"}.
std::string watchEventJson(const LogEntry& entry);
// An event after an activity gave its slot to a new token, and left the page:
// {"token","reclaimed":true,"now"}.
std::string reclaimedEventJson(std::string_view token, double now);

// The first event of a page's catch-up: {"token":"","catchUp":[TOKEN...],"now"}, the tokens of
// the activities there are now, in order. The log entries kept and each activity's drawing
// follow.
std::string catchUpEventJson(const std::vector<ActivityView>& activities, double now);
// A log entry sent again in a catch-up: {"token","log"}.
std::string loggedEventJson(const LogEntry& entry);

// The log entry of a step the activity of `token` took: its event, its outcome, and as its
// detail the step's note (the reason, or the error as errorText writes it, with its hint).
LogEntry logEntry(const TakenStep& taken, std::string_view token);

}  // namespace corvlin::host::server
