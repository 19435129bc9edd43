#include "host/board/event_writer.hpp"

#include <cmath>
#include <ctime>

#include "host/report/step_formats.hpp"
#include "json/writer.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::host::board {

std::string timeOfDay(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13) {
    if (!std::isfinite(seconds) || seconds == 0) return "0";
    std::string out;
    json::appendNumber(out, seconds);
    return out;
  }
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  if (gmtime_r(&whole, &parts) == nullptr) {
    std::string out;
    json::appendNumber(out, seconds);
    return out;
  }
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%H:%M:%S", &parts);
  return buffer;
}

void writeLogEntry(json::Writer& w, const LogEntry& entry) {
  w.beginObject();
  w.numberMember("at", entry.at);
  w.key("time");
  w.string(timeOfDay(entry.at));
  w.key("token");
  w.string(entry.token);
  w.key("event");
  w.string(entry.event);
  w.key("outcome");
  w.string(entry.outcome);
  w.key("detail");
  w.string(entry.detail);
  if (!entry.warnings.empty()) {
    w.key("warnings");
    writeWarnings(w, entry.warnings);
  }
  w.endObject();
}

namespace {

// {"token":TOKEN, its first member, of every event.
void beginEvent(json::Writer& w, std::string_view token) {
  w.beginObject();
  w.key("token");
  w.string(token);
}

// "now":AT,"log":{...}}: the end of an event of a log entry as it happens.
std::string endWithNowAndLog(json::Writer& w, const LogEntry& entry) {
  w.numberMember("now", entry.at);
  w.key("log");
  writeLogEntry(w, entry);
  w.endObject();
  return w.take();
}

// {"token",MEMBER,"now","log"}: a log entry that is no step of an activity.
std::string noteEventJson(const LogEntry& entry, std::string_view member) {
  json::Writer w;
  beginEvent(w, entry.token);
  w.key(member);
  w.string(entry.detail);
  return endWithNowAndLog(w, entry);
}

}  // namespace

std::string eventJson(const Stepped& event) {
  json::Writer w;
  beginEvent(w, event.token);
  if (event.subscribers > 0) w.numberMember("subscribers", static_cast<double>(event.subscribers));
  w.numberMember("push", static_cast<double>(event.push));
  w.key("step");
  w.beginObject();
  writeStepMembers(w, event.taken.step, event.taken.warnings, StepForm::push);
  w.endObject();
  w.key("state");
  w.string(stateLabel(event.state));
  return endWithNowAndLog(w, event.log);
}

std::string eventJson(const Drawn& event) {
  const Drawing& drawing = *event.drawing;
  json::Writer w;
  w.reserve(drawing.section.html.size() + drawing.section.css.size() + 4096);
  beginEvent(w, event.token);
  w.numberMember("drawn", static_cast<double>(event.push));
  w.key("presentations");
  if (event.presentations) {
    ui::writeJson(w, *event.presentations);
  } else {
    w.null();
  }
  if (const auto* failure = std::get_if<ExtensionFailure>(&drawing.rendered.outcome)) {
    w.key("failure");
    w.string(failure->message);
  }
  w.key("state");
  w.string(stateLabel(event.state));
  w.numberMember("now", event.at);
  if (!drawing.clipped.empty()) {
    w.key("clipped");
    writeWarnings(w, drawing.clipped);
  }
  w.key("html");
  w.string(drawing.section.html);
  w.key("css");
  w.string(drawing.section.css);
  w.endObject();
  return w.take();
}

std::string eventJson(const Refusal& event) {
  json::Writer w;
  beginEvent(w, event.log.token);
  w.key("refusal");
  w.string(event.reason);
  w.numberMember("status", event.status);
  if (!event.detail.empty()) {
    w.key("detail");
    w.string(event.detail);
  }
  return endWithNowAndLog(w, event.log);
}

std::string eventJson(const Broadcasted& event) {
  const BroadcastNews& news = event.news;
  json::Writer w;
  beginEvent(w, "");
  w.key("channel");
  w.string(news.channel);
  w.key("broadcast");
  w.beginObject();
  w.numberMember("at", news.at);
  w.key("time");
  w.string(timeOfDay(news.at));
  w.numberMember("subscribers", static_cast<double>(news.subscribers));
  w.key("outcome");
  w.string(news.outcome);
  w.key("warnings");
  writeWarnings(w, news.warnings);
  w.endObject();
  w.numberMember("now", news.at);
  w.endObject();
  return w.take();
}

std::string eventJson(const Watched& event) { return noteEventJson(event.log, "watch"); }

std::string eventJson(const Reclaimed& event) {
  json::Writer w;
  beginEvent(w, event.token);
  w.booleanMember("reclaimed", true);
  w.numberMember("now", event.now);
  w.endObject();
  return w.take();
}

std::string catchUpStartJson(const CatchUp& event) {
  json::Writer w;
  beginEvent(w, "");
  w.beginArray("catchUp");
  for (const std::string& token : event.tokens) w.string(token);
  w.endArray();
  w.numberMember("now", event.now);
  w.endObject();
  return w.take();
}

std::string loggedEventJson(const LogEntry& entry) {
  json::Writer w;
  beginEvent(w, entry.token);
  w.key("log");
  writeLogEntry(w, entry);
  w.endObject();
  return w.take();
}

std::string noticeJson(const Warning& warning, std::string_view token) {
  json::Writer w;
  w.beginObject();
  w.key("warning");
  w.beginObject();
  writeWarningMembers(w, warning);
  w.key("token");
  w.string(token);
  w.endObject();
  w.endObject();
  return w.take();
}

std::string noticeJson(const Refusal& event) {
  json::Writer w;
  w.beginObject();
  w.key("refusal");
  w.beginObject();
  w.numberMember("status", event.status);
  w.key("reason");
  w.string(event.reason);
  if (!event.detail.empty()) {
    w.key("detail");
    w.string(event.detail);
  }
  w.key("token");
  w.string(event.log.token);
  w.endObject();
  w.endObject();
  return w.take();
}

std::string noticeJson(const SaveNotTaken& event) {
  json::Writer w;
  w.beginObject();
  w.key("watch");
  w.beginObject();
  w.key("event");
  w.string(event.log.event);
  w.key("outcome");
  w.string(event.log.outcome);
  w.key("detail");
  w.string(event.log.detail);
  w.key("token");
  w.string(event.log.token);
  w.endObject();
  w.endObject();
  return w.take();
}

}  // namespace corvlin::host::board
