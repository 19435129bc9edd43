#include "host/html/html_renderer.hpp"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "host/html/html_assets.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_presentations.hpp"
#include "host/html/page_shell.hpp"
#include "json/error.hpp"

namespace corvlin::host {
namespace {

using html::Element;
using html::element;

Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {}) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

Element failure(std::string headline, std::string detail) {
  Element box = element("div", {"activity-error"});
  box.setAttribute("role", "alert");
  box.setAttribute("data-testid", "activity-error");
  box.children.push_back(textElement("strong", std::move(headline)));
  box.children.push_back(textElement("p", std::move(detail)));
  return box;
}

Element activitySection(const RenderedActivity& activity, const ActivityLayouts& layouts,
                        std::size_t index, std::size_t count) {
  Element section = element("section", {"activity"});
  section.setAttribute("data-testid", "activity");
  section.setAttribute("data-activity", std::to_string(index + 1));
  const std::string name = "Activity " + std::to_string(index + 1) + " of " + std::to_string(count);
  section.setAttribute("aria-label", name);
  section.children.push_back(textElement("h2", name));
  section.children.push_back(presentationsRow(activity, layouts.shown.get()));
  if (activity.later && layouts.later) {
    // The extension's answer from the instant it changes, laid out for that instant; the page's
    // clock swaps it in then.
    Element later = element("template", {"later-answer"});
    later.setAttribute("data-at", html::number(activity.later->at));
    later.children.push_back(html::presentationFigures(*layouts.later));
    section.children.push_back(std::move(later));
  }
  if (!activity.warnings.empty()) section.children.push_back(warningsPanel(activity.warnings));
  return section;
}

}  // namespace

Element warningsPanel(const std::vector<Warning>& warnings) {
  Element panel = element("div", {"warnings"});
  panel.setAttribute("data-testid", "warnings");
  panel.setAttribute("role", "note");
  const std::size_t n = warnings.size();
  panel.children.push_back(textElement(
      "h3", std::to_string(n) + (n == 1 ? " warning" : " warnings") +
                ": the phone would show this differently from what the payload most likely means"));
  Element list = element("ul");
  for (const auto& w : warnings) {
    Element item = element("li", {"warning"});
    item.setAttribute("data-kind", std::string(kindName(w.kind)));
    Element head = element("div", {"warning-head"});
    head.children.push_back(textElement("code", describePath(w.codingPath), {"warning-path"}));
    head.children.push_back(textElement("span", std::string(kindName(w.kind)), {"warning-kind"}));
    item.children.push_back(std::move(head));
    item.children.push_back(textElement("p", w.description, {"warning-description"}));
    if (!w.hint.empty()) item.children.push_back(textElement("p", w.hint, {"warning-hint"}));
    list.children.push_back(std::move(item));
  }
  panel.children.push_back(std::move(list));
  return panel;
}

Element presentationsRow(const RenderedActivity& activity, const LaidOutAnswer* laidOut) {
  Element row = element("div", {"presentations"});
  if (std::holds_alternative<ui::Presentations>(activity.outcome)) {
    if (laidOut) return html::presentationFigures(*laidOut);
    row.children.push_back(
        failure("The presentations could not be laid out",
                "The host's fonts could not be loaded; see its standard error."));
  } else if (const auto* e = std::get_if<DecodingError>(&activity.outcome)) {
    row.children.push_back(failure("The content state does not decode", errorText(*e)));
  } else {
    row.children.push_back(
        failure("The extension failed", std::get<ExtensionFailure>(activity.outcome).message));
  }
  return row;
}

namespace {

Element appPanel() {
  Element panel = element("aside", {"app-panel"});
  panel.setAttribute("data-testid", "app-panel");
  panel.setAttribute("data-state", "waiting");
  panel.setAttribute("aria-live", "polite");
  panel.children.push_back(textElement("h2", "Containing app"));
  panel.children.push_back(
      textElement("p", "Buttons open their deep link here instead of leaving the page."));
  Element list = element("dl");
  list.children.push_back(textElement("dt", "Received URL"));
  Element url = element("dd");
  Element code = textElement("code", "nothing yet");
  code.setAttribute("data-testid", "app-url");
  url.children.push_back(std::move(code));
  list.children.push_back(std::move(url));
  list.children.push_back(textElement("dt", "actionId"));
  Element id = element("dd");
  Element out = textElement("output", "nothing yet");
  out.setAttribute("data-testid", "app-action-id");
  id.children.push_back(std::move(out));
  list.children.push_back(std::move(id));
  panel.children.push_back(std::move(list));
  return panel;
}

// "2024-05-01 12:00:00 UTC", for the page's header.
std::string utcText(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e13) return html::number(seconds) + " s";
  const auto whole = static_cast<std::time_t>(std::floor(seconds));
  std::tm parts{};
  if (!gmtime_r(&whole, &parts)) return html::number(seconds) + " s";
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return buffer;
}

}  // namespace

std::string renderHtml(const std::vector<RenderedActivity>& activities,
                       const std::vector<ActivityLayouts>& layouts, double now) {
  Element page = element("div", {"page"});
  Element header = element("header", {"page-header"});
  header.children.push_back(textElement("h1", "Live activity preview"));
  header.children.push_back(textElement(
      "p", "Drawn from the view descriptions the extension answered at " + utcText(now) +
               ", every view where the host's layout places it (the one layout behind its PNG "
               "snapshots and warnings). Timers run on from that instant with this page's own "
               "clock; buttons open their deep link in the panel standing in for the app."));
  page.children.push_back(std::move(header));

  Element canvas = element("main", {"canvas"});
  canvas.setAttribute("data-testid", "canvas");
  canvas.setAttribute("data-now", html::number(now));
  const ActivityLayouts none;
  for (std::size_t i = 0; i < activities.size(); ++i) {
    const ActivityLayouts& laidOut = i < layouts.size() ? layouts[i] : none;
    canvas.children.push_back(activitySection(activities[i], laidOut, i, activities.size()));
  }
  page.children.push_back(std::move(canvas));
  page.children.push_back(appPanel());

  html::GeneratedStyles styles;
  std::string body;
  html::write(page, styles, body);
  const std::string style = std::string(html::pageStylesheet()) + styles.rules;
  const std::string_view script = html::pageScript();

  return html::pageShell({"Live activity preview", style, script, body}, html::PageOrigin::file)
      .html;
}

html::Element activityElement(const RenderedActivity& activity, const ActivityLayouts& layouts,
                              std::size_t index, std::size_t count) {
  return activitySection(activity, layouts, index, count);
}

html::Element appPanelElement() { return appPanel(); }

}  // namespace corvlin::host
