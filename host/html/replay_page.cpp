#include "host/html/replay_page.hpp"

#include "host/html/html_assets.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_renderer.hpp"
#include "host/html/page_shell.hpp"
#include "host/report/replay_formats.hpp"
#include "host/report/step_formats.hpp"

namespace corvlin::host {
namespace {

using html::Element;
using html::element;
using html::textElement;
using updates::Step;

std::string eventText(const Step& step) {
  return step.event ? std::string(updates::stepEventName(*step.event)) : std::string("record");
}

std::string stateText(const Step& step) {
  return step.state ? std::string(updates::stateName(*step.state)) : std::string("none");
}

// "12:00:10 UTC": the time of day, enough to tell steps apart on the timeline.
std::string clockText(const Step& step) {
  const std::string full = utcText(step.at.timeIntervalSince1970);
  const auto space = full.find(' ');
  return space == std::string::npos ? full : full.substr(space + 1);
}

void markStep(Element& e, const Step& step, std::size_t index) {
  e.setAttribute("data-step", std::to_string(index));
  e.setAttribute("data-outcome", std::string(updates::outcomeName(step.outcome)));
  e.setAttribute("data-state", stateText(step));
  e.setAttribute("data-event", eventText(step));
  if (step.channel) e.setAttribute("data-channel", *step.channel);
}

// "broadcast on channel X · ": what a broadcast record's step says before its event.
std::string broadcastText(const Step& step, std::string_view after) {
  if (!step.channel) return {};
  return "broadcast on channel " + *step.channel + std::string(after);
}

Element timelineItem(const ReplayedStep& replayed, std::size_t index) {
  const Step& step = replayed.step;
  Element item = element("li", {"timeline-step"});
  markStep(item, step, index);
  Element button = element("button", {"timeline-button"});
  button.setAttribute("type", "button");
  button.setAttribute("data-testid", "timeline-step");
  button.children.push_back(textElement("span", clockText(step), {"timeline-time"}));
  std::string what = eventText(step);
  if (step.record) what += " #" + std::to_string(*step.record);
  Element event = textElement("span", what, {"timeline-event"});
  if (step.channel) {
    // Under the event, so that the columns still line up.
    Element channel = textElement("span", broadcastText(step, ""), {"timeline-channel"});
    channel.setAttribute("data-testid", "step-channel");
    event.children.push_back(std::move(channel));
  }
  button.children.push_back(std::move(event));
  button.children.push_back(
      textElement("span", std::string(updates::outcomeName(step.outcome)), {"timeline-outcome"}));
  // Always there, empty or not, so that the state lines up in its column.
  const std::string note = stepNote(step);
  Element reason = textElement("span", note, {"timeline-reason"});
  if (!note.empty()) reason.setAttribute("data-testid", "step-reason");
  if (const std::size_t n = replayed.warnings.size(); n > 0) {
    // Where a record went wrong without being refused, the timeline says so at a glance.
    Element mark =
        textElement("span", "⚠ " + std::to_string(n) + (n == 1 ? " warning" : " warnings"),
                    note.empty() ? std::vector<std::string>{"timeline-warnings"}
                                 : std::vector<std::string>{"timeline-warnings", "after-note"});
    mark.setAttribute("data-testid", "step-warnings");
    reason.children.push_back(std::move(mark));
  }
  button.children.push_back(std::move(reason));
  button.children.push_back(textElement("span", stateText(step), {"timeline-state"}));
  item.children.push_back(std::move(button));
  return item;
}

Element stepSection(const ReplayedStep& replayed, const LaidOutAnswer* laidOut, std::size_t index,
                    std::size_t count) {
  const Step& step = replayed.step;
  const double at = step.at.timeIntervalSince1970;
  Element section = element("section", {"activity", "replay-step"});
  markStep(section, step, index);
  section.setAttribute("data-testid", "replay-step");
  section.setAttribute("data-at", html::number(at));
  section.setAttribute("aria-label",
                       "Step " + std::to_string(index + 1) + " of " + std::to_string(count));
  if (index != 0) section.setAttribute("hidden", "");

  Element heading = element("h2", {"replay-heading"});
  heading.text = "Step " + std::to_string(index + 1) + " of " + std::to_string(count) + " · " +
                 utcText(at) + " · " + broadcastText(step, " · ") + eventText(step) + " " +
                 std::string(updates::outcomeName(step.outcome));
  Element badge = textElement("span", stateText(step), {"state-badge"});
  badge.setAttribute("data-testid", "state-badge");
  badge.setAttribute("data-state", stateText(step));
  heading.children.push_back(std::move(badge));
  section.children.push_back(std::move(heading));
  if (const std::string note = stepNote(step); !note.empty()) {
    Element p = textElement("p", note, {"replay-note"});
    p.setAttribute("data-testid", "step-note");
    section.children.push_back(std::move(p));
  }
  if (!replayed.warnings.empty()) section.children.push_back(warningsPanel(replayed.warnings));

  if (replayed.rendered) {
    Element shown = element("div", {"replay-shown"});
    shown.children.push_back(presentationsRow(*replayed.rendered, laidOut));
    section.children.push_back(std::move(shown));
  } else {
    const std::string why = !step.state ? "No activity exists yet: nothing is shown."
                                        : "The activity was dismissed: nothing is shown.";
    Element p = textElement("p", why, {"replay-nothing"});
    p.setAttribute("data-testid", "nothing-shown");
    section.children.push_back(std::move(p));
  }
  return section;
}

Element controls(std::size_t count) {
  Element bar = element("div", {"replay-controls"});
  Element previous = textElement("button", "◀ Previous", {"replay-previous"});
  previous.setAttribute("type", "button");
  previous.setAttribute("data-testid", "previous");
  Element slider = element("input", {"scrubber"});
  slider.setAttribute("type", "range");
  slider.setAttribute("min", "0");
  slider.setAttribute("max", std::to_string(count == 0 ? 0 : count - 1));
  slider.setAttribute("step", "1");
  slider.setAttribute("value", "0");
  slider.setAttribute("aria-label", "Step");
  slider.setAttribute("data-testid", "scrubber");
  Element next = textElement("button", "Next ▶", {"replay-next"});
  next.setAttribute("type", "button");
  next.setAttribute("data-testid", "next");
  Element position = textElement("output", count ? "Step 1 of " + std::to_string(count) : "");
  position.setAttribute("data-testid", "step-position");
  position.setAttribute("aria-live", "polite");
  bar.children.push_back(std::move(previous));
  bar.children.push_back(std::move(slider));
  bar.children.push_back(std::move(next));
  bar.children.push_back(std::move(position));
  return bar;
}

}  // namespace

std::string renderReplayHtml(const std::vector<ReplayedStep>& steps,
                             const std::vector<std::shared_ptr<const LaidOutAnswer>>& layouts,
                             std::string_view title) {
  Element page = element("div", {"replay-page"});
  Element header = element("header", {"page-header"});
  header.children.push_back(textElement("h1", "Replay: " + std::string(title)));
  std::string summary = std::to_string(steps.size()) + " steps";
  if (!steps.empty()) {
    summary += ", from " + utcText(steps.front().step.at.timeIntervalSince1970) + " to " +
               utcText(steps.back().step.at.timeIntervalSince1970);
  }
  header.children.push_back(textElement(
      "p", summary +
               ". Each step shows what the phone shows after it, drawn from the "
               "extension's answer at that instant and placed by the host's layout; its timers run "
               "on from there. Use the "
               "scrubber or the arrow keys to step through."));
  page.children.push_back(std::move(header));
  page.children.push_back(controls(steps.size()));

  Element timeline = element("ol", {"timeline"});
  timeline.setAttribute("data-testid", "timeline");
  timeline.setAttribute("aria-label", "Steps");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    timeline.children.push_back(timelineItem(steps[i], i));
  }
  page.children.push_back(std::move(timeline));

  Element stage = element("main", {"stage"});
  stage.setAttribute("data-testid", "stage");
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const LaidOutAnswer* laidOut = i < layouts.size() ? layouts[i].get() : nullptr;
    stage.children.push_back(stepSection(steps[i], laidOut, i, steps.size()));
  }
  Element link = textElement("p", "Buttons show their deep link here.", {"replay-link"});
  link.setAttribute("data-testid", "replay-link");
  link.setAttribute("aria-live", "polite");
  stage.children.push_back(std::move(link));
  page.children.push_back(std::move(stage));

  html::GeneratedStyles styles;
  std::string body;
  html::write(page, styles, body);
  const std::string style =
      std::string(html::pageStylesheet()) + std::string(html::replayStylesheet()) + styles.rules;
  const std::string_view script = html::replayScript();

  const std::string pageTitle = "Replay: " + std::string(title);
  return html::pageShell({pageTitle, style, script, body}, html::PageOrigin::file).html;
}

}  // namespace corvlin::host
