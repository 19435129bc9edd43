// The one writer of the board's events and log entries, as the event stream sends them
// (docs/serve.md, "The events"), and of the server's warning lines: every form through
// json::Writer.
#pragma once

#include <string>
#include <string_view>

#include "host/board/board_step.hpp"

namespace corvlin::json {
class Writer;
}  // namespace corvlin::json

namespace corvlin::host::board {

// {"token","subscribers","push","step","state","now","log"}: a step, sent at once; no drawing,
// which runs behind. "step" is as a replay writes it, without "record"; "subscribers" only for
// a group of local subscribers, the number whose step it is.
std::string eventJson(const Stepped& event);
// {"token","drawn","presentations","failure","state","now","clipped","html","css"}: "failure"
// only when the extension failed, "clipped" only when the phone would cut something off.
std::string eventJson(const Drawn& event);
// {"token","refusal":REASON,"status","detail","now","log"}: "detail" only when the check said
// more than the reason.
std::string eventJson(const Refusal& event);
// {"token":"","channel","broadcast":{"at","time","subscribers","outcome","warnings"},"now"}: a
// sender's broadcast, the channel's newest ("time" its UTC time of day, as the page shows it).
std::string eventJson(const Broadcasted& event);
// {"token","reclaimed":true,"now"}
std::string eventJson(const Reclaimed& event);
// {"token":"0","watch","now","log"}
std::string eventJson(const Watched& event);
// The first event of a catch-up, {"token":"","catchUp":[TOKEN...],"now"}; the log entries
// (loggedEventJson) and the drawings (eventJson of each) follow it.
std::string catchUpStartJson(const CatchUp& event);
// {"token","log"}: a log entry sent again in a catch-up.
std::string loggedEventJson(const LogEntry& entry);

// {"warning":{...,"token"}}: a warning of an activity as a line of the server's standard error,
// the token the last member inside "warning", as a list's lines name their activity.
std::string noticeJson(const Warning& warning, std::string_view token);
// {"refusal":{"status","reason","detail","token"}}: a refused push as a line of standard error,
// "detail" only when there is one.
std::string noticeJson(const Refusal& event);
// {"watch":{"event","outcome","detail","token"}}: a save of the watched file that the rules
// rejected or ignored, as a line of standard error.
std::string noticeJson(const SaveNotTaken& event);

// The log entry as its events carry it: {"at","time","token","event","outcome","detail",
// "warnings"}, "warnings" left out when there are none.
void writeLogEntry(json::Writer& writer, const LogEntry& entry);

// "12:00:00", the UTC time of day of a log entry; the number itself when it has none.
std::string timeOfDay(double seconds);

}  // namespace corvlin::host::board
