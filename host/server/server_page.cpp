#include "host/server/server_page.hpp"

#include <algorithm>

#include "host/board/event_writer.hpp"
#include "host/html/html_assets.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_renderer.hpp"
#include "host/html/page_shell.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/page_assets.hpp"

namespace corvlin::host::server {
namespace {

using html::Element;
using html::element;

Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {}) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

using board::LogEntry;
using board::timeOfDay;

Element activitySection(const SectionOf& activity) {
  const std::string token(activity.token);
  Element section = activityElement(activity.rendered, {activity.laidOut, nullptr}, 0, 1);
  section.setAttribute("data-token", token);
  section.setAttribute("data-state", std::string(activity.state));
  section.setAttribute("data-now", html::number(activity.at));
  Element& heading = section.children.front();
  if (activity.subscribers > 0) {
    const std::string count = std::to_string(activity.subscribers);
    section.setAttribute("data-subscribers", count);
    section.setAttribute("aria-label", count + " local subscribers " + token);
    heading.text = count + " local subscribers " + token + " ";
  } else {
    section.setAttribute("aria-label", "Activity of token " + token);
    heading.text = "Token " + token + " ";
  }
  Element state = textElement("span", std::string(activity.state), {"state-badge"});
  state.setAttribute("data-testid", "activity-state");
  heading.children.push_back(std::move(state));
  return section;
}

// A push's warnings, as the log and the channels' table show them under its outcome.
Element warningList(const std::vector<Warning>& warnings) {
  Element list = element("ul", {"log-warnings"});
  list.setAttribute("data-testid", "log-warnings");
  for (const Warning& warning : warnings) {
    Element item = element("li", {"warning"});
    item.setAttribute("data-kind", std::string(kindName(warning.kind)));
    item.text = warningText(warning);
    list.children.push_back(std::move(item));
  }
  return list;
}

// A channel's newest broadcast: "HH:MM:SS to N: OUTCOME", and its warnings under it.
Element newestCell(const board::BroadcastNews* news) {
  Element cell = element("td", {"newest-broadcast"});
  cell.setAttribute("data-testid", "newest-broadcast");
  if (news == nullptr) return cell;
  cell.text =
      timeOfDay(news->at) + " to " + std::to_string(news->subscribers) + ": " + news->outcome;
  if (!news->warnings.empty()) cell.children.push_back(warningList(news->warnings));
  return cell;
}

Element logRow(const LogEntry& entry) {
  Element row = element("tr");
  row.setAttribute("data-outcome", entry.outcome);
  row.children.push_back(textElement("td", timeOfDay(entry.at)));
  row.children.push_back(textElement("td", entry.token, {"log-token"}));
  row.children.push_back(textElement("td", entry.event));
  row.children.push_back(textElement("td", entry.outcome, {"log-outcome"}));
  Element detail = textElement("td", entry.detail, {"log-detail"});
  if (!entry.warnings.empty()) detail.children.push_back(warningList(entry.warnings));
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

// Local subscribers are added to a channel from its row (the page's script sends the form).
Element addSubscribersForm(const std::string& channel) {
  Element cell = element("td");
  Element form = element("form", {"add-subscribers"});
  form.setAttribute("data-channel", channel);
  form.setAttribute("aria-label", "Add local subscribers to channel " + channel);
  Element count = element("input");
  count.setAttribute("type", "number");
  count.setAttribute("name", "count");
  count.setAttribute("min", "1");
  count.setAttribute("max", "10000");
  count.setAttribute("value", "1000");
  count.setAttribute("aria-label", "How many");
  form.children.push_back(std::move(count));
  form.children.push_back(textElement("button", "Add subscribers"));
  Element said = element("output");
  said.setAttribute("data-testid", "add-subscribers-said");
  form.children.push_back(std::move(said));
  cell.children.push_back(std::move(form));
  return cell;
}

// The broadcast channels: each one's id, its storage policy, the activities subscribed to it,
// its newest broadcast, when its stored broadcast came, and the form that adds subscribers.
Element channelTable(const board::ChannelStore& channels, const board::BoardState& board) {
  const std::vector<board::ActivityRecord>& activities = board.activities;
  Element box = element("section", {"push-log"});
  box.setAttribute("aria-label", "Broadcast channels");
  box.children.push_back(textElement("h2", "Broadcast channels"));
  Element table = element("table");
  Element head = element("thead");
  Element titles = element("tr");
  for (const char* title : {"Channel", "Storage", "Subscribers", "Newest broadcast (UTC)",
                            "Stored broadcast (UTC)", "Local subscribers"}) {
    titles.children.push_back(textElement("th", title));
  }
  head.children.push_back(std::move(titles));
  table.children.push_back(std::move(head));
  Element body = element("tbody");
  body.setAttribute("data-testid", "channels");
  for (const board::Channel& channel : channels.channels) {
    Element row = element("tr");
    row.setAttribute("data-channel", channel.id);
    row.children.push_back(textElement("td", channel.id));
    row.children.push_back(
        textElement("td", channel.storagePolicy == 1 ? "the most recent message" : "no message"));
    Element count =
        textElement("td", std::to_string(board::reachOf(activities, channel.id)), {"subscribers"});
    count.setAttribute("data-testid", "channel-subscribers");
    row.children.push_back(std::move(count));
    const auto news =
        std::find_if(board.news.begin(), board.news.end(),
                     [&](const board::BroadcastNews& n) { return n.channel == channel.id; });
    row.children.push_back(newestCell(news == board.news.end() ? nullptr : &*news));
    row.children.push_back(textElement("td", channel.newest ? timeOfDay(channel.newest->at) : ""));
    row.children.push_back(addSubscribersForm(channel.id));
    body.children.push_back(std::move(row));
  }
  table.children.push_back(std::move(body));
  box.children.push_back(std::move(table));
  return box;
}

}  // namespace

board::Section drawSection(const SectionOf& activity) {
  html::GeneratedStyles styles;
  styles.prefix = "a" + std::to_string(activity.serial) + "g";
  board::Section drawn;
  html::write(activitySection(activity), styles, drawn.html);
  drawn.css = std::move(styles.rules);
  return drawn;
}

ServePage servePage(const board::BoardState& board, double now,
                    const board::ChannelStore& channels) {
  const std::vector<board::ActivityRecord>& activities = board.activities;
  Element header = element("header", {"page-header"});
  header.children.push_back(textElement("h1", "Push endpoint"));
  header.children.push_back(textElement(
      "p",
      "Each push to POST /3/device/TOKEN is checked as the push service checks it, applied "
      "to the activity of its token as the phone applies it, and drawn here as it arrives."));

  std::string sections;
  std::string generated;
  for (const board::ActivityRecord& activity : activities) {
    if (activity.drawn) {
      sections += activity.drawn->section.html;
      generated += activity.drawn->section.css;
      continue;
    }
    // Not drawn yet: no presentation, so nothing to lay out.
    const board::Section blank =
        drawSection({activity.token, board::stateLabel(activity.state), RenderedActivity{}, 0, 0,
                     nullptr, activity.subscribers});
    sections += blank.html;
    generated += blank.css;
  }
  Element empty = textElement("p", "No activity yet: send a push.", {"no-activity"});
  empty.setAttribute("data-testid", "no-activity");
  if (!activities.empty()) empty.setAttribute("hidden", "");

  html::GeneratedStyles styles;
  std::string canvasEnd;
  html::write(empty, styles, canvasEnd);
  std::string rest;
  html::write(appPanelElement(), styles, rest);
  if (!channels.channels.empty()) html::write(channelTable(channels, board), styles, rest);
  html::write(logTable(board.log), styles, rest);

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

ServePage servePage(const ActivityBoard& board, double now, const board::ChannelStore& channels) {
  return servePage(board.state(), now, channels);
}

}  // namespace corvlin::host::server
