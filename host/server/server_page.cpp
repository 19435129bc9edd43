#include "host/server/server_page.hpp"

#include <cmath>
#include <ctime>

#include "host/html/html_assets.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_renderer.hpp"
#include "host/html/page_shell.hpp"
#include "host/report/step_formats.hpp"
#include "host/server/page_assets.hpp"
#include "json/writer.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::host::server {
namespace {

using html::Element;
using html::element;

Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {}) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

// "12:00:00", the UTC time of day of a log entry.
std::string timeOfDay(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13) return html::number(seconds);
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  if (!gmtime_r(&whole, &parts)) return html::number(seconds);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%H:%M:%S", &parts);
  return buffer;
}

Element activitySection(const ActivityView& activity) {
  Element section = activityElement(activity.rendered, {activity.laidOut, nullptr}, 0, 1);
  section.setAttribute("data-token", activity.token);
  section.setAttribute("data-state", activity.state);
  section.setAttribute("data-now", html::number(activity.renderedAt));
  section.setAttribute("aria-label", "Activity of token " + activity.token);
  Element& heading = section.children.front();
  heading.text = "Token " + activity.token + " ";
  Element state = textElement("span", activity.state, {"state-badge"});
  state.setAttribute("data-testid", "activity-state");
  heading.children.push_back(std::move(state));
  return section;
}

Element logRow(const LogEntry& entry) {
  Element row = element("tr");
  row.setAttribute("data-outcome", entry.outcome);
  row.children.push_back(textElement("td", timeOfDay(entry.at)));
  row.children.push_back(textElement("td", entry.token, {"log-token"}));
  row.children.push_back(textElement("td", entry.event));
  row.children.push_back(textElement("td", entry.outcome, {"log-outcome"}));
  Element detail = textElement("td", entry.detail, {"log-detail"});
  if (!entry.warnings.empty()) {
    Element list = element("ul", {"log-warnings"});
    list.setAttribute("data-testid", "log-warnings");
    for (const Warning& warning : entry.warnings) {
      Element item = element("li", {"warning"});
      item.setAttribute("data-kind", std::string(kindName(warning.kind)));
      item.text = warningText(warning);
      list.children.push_back(std::move(item));
    }
    detail.children.push_back(std::move(list));
  }
  row.children.push_back(std::move(detail));
  return row;
}

Element logTable(const std::deque<LogEntry>& log) {
  Element box = element("section", {"push-log"});
  box.setAttribute("aria-label", "Pushes received");
  box.children.push_back(textElement("h2", "Pushes received"));
  Element table = element("table");
  Element head = element("thead");
  Element titles = element("tr");
  for (const char* title : {"Time (UTC)", "Token", "Event", "Outcome", "Reason or error"}) {
    titles.children.push_back(textElement("th", title));
  }
  head.children.push_back(std::move(titles));
  table.children.push_back(std::move(head));
  Element body = element("tbody");
  body.setAttribute("data-testid", "push-log");
  // Newest first, as the script adds them.
  for (auto it = log.rbegin(); it != log.rend(); ++it) body.children.push_back(logRow(*it));
  table.children.push_back(std::move(body));
  box.children.push_back(std::move(table));
  return box;
}

void writeLogEntry(json::Writer& w, const LogEntry& entry) {
  w.beginObject();
  w.key("at");
  w.number(entry.at);
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

}  // namespace

LogEntry logEntry(const TakenStep& taken, std::string_view token) {
  const updates::Step& step = taken.step;
  return {step.at.timeIntervalSince1970,
          std::string(token),
          step.event ? std::string(updates::stepEventName(*step.event)) : std::string(),
          std::string(updates::outcomeName(step.outcome)),
          stepNote(step),
          taken.warnings};
}

DrawnSection drawActivity(const ActivityView& activity) {
  html::GeneratedStyles styles;
  styles.prefix = "a" + std::to_string(activity.serial) + "g";
  DrawnSection drawn;
  html::write(activitySection(activity), styles, drawn.html);
  drawn.css = std::move(styles.rules);
  return drawn;
}

ServePage servePage(const std::vector<ActivityView>& activities, const std::deque<LogEntry>& log,
                    double now) {
  Element header = element("header", {"page-header"});
  header.children.push_back(textElement("h1", "Push endpoint"));
  header.children.push_back(textElement(
      "p",
      "Each push to POST /3/device/TOKEN is checked as the push service checks it, applied "
      "to the activity of its token as the phone applies it, and drawn here as it arrives."));

  std::string sections;
  std::string generated;
  for (const auto& activity : activities) {
    DrawnSection drawn = drawActivity(activity);
    sections += drawn.html;
    generated += drawn.css;
  }
  Element empty = textElement("p", "No activity yet: send a push.", {"no-activity"});
  empty.setAttribute("data-testid", "no-activity");
  if (!activities.empty()) empty.setAttribute("hidden", "");

  html::GeneratedStyles styles;
  std::string canvasEnd;
  html::write(empty, styles, canvasEnd);
  std::string rest;
  html::write(appPanelElement(), styles, rest);
  html::write(logTable(log), styles, rest);

  const std::string style = std::string(html::pageStylesheet()) + std::string(serveStylesheet()) +
                            generated + styles.rules;
  const std::string_view script = serveScript();

  std::string body = "<div class=\"page\">";
  html::write(header, styles, body);
  body += "<main class=\"canvas\" data-testid=\"canvas\" data-now=\"" + html::number(now) + "\">";
  body += sections;
  body += canvasEnd;
  body += "</main>";
  body += rest;
  body += "</div>";
  html::ShellPage shell =
      html::pageShell({"Push endpoint", style, script, body}, html::PageOrigin::served);
  return {std::move(shell.html), std::move(shell.contentSecurityPolicy)};
}

ServePage servePage(const ActivityBoard& board, double now) {
  return servePage(board.activities(), board.log(), now);
}

namespace {

// "presentations", "failure" when the extension failed, "state" and "now" of an activity as
// last drawn.
void appendDrawing(std::string& out, const ActivityView& activity) {
  out += ",\"presentations\":";
  if (activity.lastGood) {
    json::Writer p;
    ui::writeJson(p, *activity.lastGood);
    out += p.str();
  } else {
    out += "null";
  }
  if (const auto* failure = std::get_if<ExtensionFailure>(&activity.rendered.outcome)) {
    out += ",\"failure\":";
    json::appendString(out, failure->message);
  }
  out += ",\"state\":";
  json::appendString(out, activity.state);
  out += ",\"now\":";
  json::appendNumber(out, activity.renderedAt);
}

void appendSection(std::string& out, const DrawnSection& drawn) {
  out += ",\"html\":";
  json::appendString(out, drawn.html);
  out += ",\"css\":";
  json::appendString(out, drawn.css);
  out += "}";
}

// ,"log":{...}} : the end every event of a log entry shares.
void appendLog(std::string& out, const LogEntry& entry) {
  out += ",\"log\":";
  json::Writer log;
  writeLogEntry(log, entry);
  out += log.str();
  out += "}";
}

// ,"now":AT,"log":{...}} : the end of an event of a log entry as it happens.
void appendNowAndLog(std::string& out, const LogEntry& entry) {
  out += ",\"now\":";
  json::appendNumber(out, entry.at);
  appendLog(out, entry);
}

}  // namespace

std::string pushEventJson(const ActivityView& activity, const TakenStep& taken,
                          const LogEntry& entry) {
  std::string out = "{\"token\":";
  json::appendString(out, activity.token);
  out += ",\"push\":";
  out += std::to_string(activity.pushes);
  out += ",\"step\":" + stepJson(taken.step, taken.warnings, StepForm::push);
  out += ",\"state\":";
  json::appendString(out, activity.state);
  appendNowAndLog(out, entry);
  return out;
}

std::string drawingEventJson(const ActivityView& activity, const std::vector<Warning>& clipped) {
  const DrawnSection drawn = drawActivity(activity);
  std::string out;
  out.reserve(drawn.html.size() + drawn.css.size() + 4096);
  out += "{\"token\":";
  json::appendString(out, activity.token);
  out += ",\"drawn\":";
  out += std::to_string(activity.drawnPush);
  appendDrawing(out, activity);
  if (!clipped.empty()) {
    json::Writer w;
    writeWarnings(w, clipped);
    out += ",\"clipped\":";
    out += w.str();
  }
  appendSection(out, drawn);
  return out;
}

namespace {

// {"token",MEMBER,"now","log"}: a log entry that is no step of an activity.
std::string noteEventJson(const LogEntry& entry, std::string_view member) {
  std::string out = "{\"token\":";
  json::appendString(out, entry.token);
  out += ",\"" + std::string(member) + "\":";
  json::appendString(out, entry.detail);
  appendNowAndLog(out, entry);
  return out;
}

}  // namespace

std::string refusalEventJson(const LogEntry& entry) { return noteEventJson(entry, "refusal"); }

std::string watchEventJson(const LogEntry& entry) { return noteEventJson(entry, "watch"); }

std::string catchUpEventJson(const std::vector<ActivityView>& activities, double now) {
  std::string out = "{\"token\":\"\",\"catchUp\":[";
  for (const ActivityView& activity : activities) {
    if (out.back() != '[') out += ',';
    json::appendString(out, activity.token);
  }
  out += "],\"now\":";
  json::appendNumber(out, now);
  out += "}";
  return out;
}

std::string loggedEventJson(const LogEntry& entry) {
  std::string out = "{\"token\":";
  json::appendString(out, entry.token);
  appendLog(out, entry);
  return out;
}

std::string reclaimedEventJson(std::string_view token, double now) {
  std::string out = "{\"token\":";
  json::appendString(out, token);
  out += ",\"reclaimed\":true,\"now\":";
  json::appendNumber(out, now);
  out += "}";
  return out;
}

}  // namespace corvlin::host::server
