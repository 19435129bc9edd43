#include "host/html/html_renderer.hpp"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "host/html/html_assets.hpp"
#include "host/html/html_element.hpp"
#include "host/html/html_views.hpp"
#include "host/html/page_shell.hpp"
#include "json/error.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::host {
namespace {

using html::Element;
using html::element;

// The frames the phone gives the presentations, in points. The lock screen is as wide as the
// phone's screen allows, chosen on the page.
constexpr double lockScreenWidth = 371;
constexpr double lockScreenWidths[] = {371, 408};

Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {}) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

void addChildren(Element& parent, std::vector<Element> children) {
  for (auto& child : children) parent.children.push_back(std::move(child));
}

std::vector<Element> drawn(const ui::View& view, double now, std::optional<double> width = {}) {
  html::ViewContext context;
  context.now = now;
  context.width = width;
  return html::renderView(view, context);
}

Element figure(std::string presentation, std::string caption) {
  Element f = element("figure", {"presentation"});
  f.setAttribute("data-presentation", std::move(presentation));
  f.children.push_back(textElement("figcaption", std::move(caption)));
  return f;
}

Element lockScreen(const ui::View& view, double now) {
  Element card = element("div", {"lock-screen"});
  card.setAttribute("data-testid", "lock-screen");
  card.setAttribute("dir", "ltr");
  card.setAttribute("data-measure", "lock screen");
  // The activity modifiers hand the host the card's background and its own controls' colour.
  if (auto tint = html::activityBackgroundTint(view)) {
    card.setStyle("background-color", html::cssColor(*tint));
  }
  if (auto controls = html::activitySystemActionForegroundColor(view)) {
    card.setStyle("--system-action-color", html::cssColor(*controls));
  }
  addChildren(card, drawn(view, now, lockScreenWidth));
  Element f = figure("lockScreen", "Lock screen");
  f.children.push_back(std::move(card));
  return f;
}

Element region(std::string classes, std::string testId, const ui::View& view, double now) {
  Element r = element("div", {"region", std::move(classes)});
  r.setAttribute("data-testid", std::move(testId));
  addChildren(r, drawn(view, now));
  return r;
}

Element expandedIsland(const ui::DynamicIsland& island, double now) {
  Element shape = element("div", {"island", "island-expanded"});
  shape.setAttribute("data-testid", "island-expanded");
  shape.setAttribute("dir", "ltr");
  shape.setAttribute("data-measure", "expanded");
  std::string names;
  for (const auto& r : island.expanded) {
    const std::string name(ui::name(r.position));
    Element e = region("region-" + name, "expanded-" + name, r.content, now);
    e.setAttribute("data-region", name);
    e.setAttribute("data-priority", html::number(r.priority));
    e.setAttribute("aria-label", "expanded " + name);
    shape.children.push_back(std::move(e));
    names += (names.empty() ? "" : ", ") + name;
  }
  // An activity that has not drawn yet has no regions to name.
  Element f = figure("expanded", "Dynamic Island, expanded" +
                                     (names.empty() ? std::string() : " (" + names + ")"));
  f.children.push_back(std::move(shape));
  return f;
}

Element compactIsland(const ui::DynamicIsland& island, double now) {
  Element shape = element("div", {"island", "island-compact"});
  shape.setAttribute("data-testid", "island-compact");
  shape.setAttribute("dir", "ltr");
  Element leading = region("compact-piece", "compact-leading", island.compactLeading, now);
  leading.setAttribute("aria-label", "compact leading");
  leading.setAttribute("data-measure", "compact leading");
  Element trailing = region("compact-piece", "compact-trailing", island.compactTrailing, now);
  trailing.setAttribute("aria-label", "compact trailing");
  trailing.setAttribute("data-measure", "compact trailing");
  Element camera = element("div", {"camera-area"});
  camera.setAttribute("aria-hidden", "true");
  camera.children.push_back(element("div", {"camera-lens"}));
  shape.children.push_back(std::move(leading));
  shape.children.push_back(std::move(camera));
  shape.children.push_back(std::move(trailing));

  Element f = figure("compact", "Dynamic Island, compact");
  f.children.push_back(std::move(shape));
  Element labels = element("div", {"piece-labels"});
  labels.children.push_back(textElement("span", "compact leading"));
  labels.children.push_back(textElement("span", "compact trailing"));
  f.children.push_back(std::move(labels));
  return f;
}

Element minimalIsland(const ui::DynamicIsland& island, double now) {
  Element shape = element("div", {"island", "island-minimal"});
  shape.setAttribute("data-testid", "island-minimal");
  shape.setAttribute("dir", "ltr");
  Element piece = region("minimal-piece", "minimal", island.minimal, now);
  piece.setAttribute("data-measure", "minimal");
  shape.children.push_back(std::move(piece));
  Element f = figure("minimal", "Minimal");
  f.children.push_back(std::move(shape));
  return f;
}

Element failure(std::string headline, std::string detail) {
  Element box = element("div", {"activity-error"});
  box.setAttribute("role", "alert");
  box.setAttribute("data-testid", "activity-error");
  box.children.push_back(textElement("strong", std::move(headline)));
  box.children.push_back(textElement("p", std::move(detail)));
  return box;
}

Element presentationsRow(const ui::Presentations& p, double now) {
  Element row = element("div", {"presentations"});
  row.children.push_back(lockScreen(p.lockScreen, now));
  row.children.push_back(expandedIsland(p.dynamicIsland, now));
  row.children.push_back(compactIsland(p.dynamicIsland, now));
  row.children.push_back(minimalIsland(p.dynamicIsland, now));
  return row;
}

Element activitySection(const RenderedActivity& activity, std::size_t index, std::size_t count,
                        double now) {
  Element section = element("section", {"activity"});
  section.setAttribute("data-testid", "activity");
  section.setAttribute("data-activity", std::to_string(index + 1));
  const std::string name = "Activity " + std::to_string(index + 1) + " of " + std::to_string(count);
  section.setAttribute("aria-label", name);
  section.children.push_back(textElement("h2", name));
  section.children.push_back(presentationsRow(activity, now));
  if (activity.later) {
    // The extension's answer from the instant it changes; the page's clock swaps it in then.
    Element later = element("template", {"later-answer"});
    later.setAttribute("data-at", html::number(activity.later->at));
    later.children.push_back(presentationsRow(activity.later->presentations, activity.later->at));
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

Element presentationsRow(const RenderedActivity& activity, double now) {
  Element row = element("div", {"presentations"});
  if (const auto* p = std::get_if<ui::Presentations>(&activity.outcome)) {
    row = presentationsRow(*p, now);
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

// Radio buttons for the lock screen's width; the script applies the choice and measures again.
Element widthChoice() {
  Element choice = element("fieldset", {"width-choice"});
  choice.setAttribute("data-testid", "width-choice");
  choice.children.push_back(textElement("legend", "Lock screen width"));
  for (double width : lockScreenWidths) {
    Element label = element("label");
    Element input = element("input");
    input.setAttribute("type", "radio");
    input.setAttribute("name", "lock-screen-width");
    input.setAttribute("value", html::number(width));
    if (width == lockScreenWidth) input.setAttribute("checked", "");
    label.children.push_back(std::move(input));
    label.children.push_back(textElement("span", html::number(width) + " pt"));
    choice.children.push_back(std::move(label));
  }
  return choice;
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

std::string renderHtml(const std::vector<RenderedActivity>& activities, double now) {
  Element page = element("div", {"page"});
  Element header = element("header", {"page-header"});
  header.children.push_back(textElement("h1", "Live activity preview"));
  header.children.push_back(textElement(
      "p", "Drawn from the view descriptions the extension answered at " + utcText(now) +
               ". Timers run on from that instant with this page's own clock; buttons open "
               "their deep link in the panel standing in for the app."));
  page.children.push_back(std::move(header));
  page.children.push_back(widthChoice());

  Element canvas = element("main", {"canvas"});
  canvas.setAttribute("data-testid", "canvas");
  canvas.setAttribute("data-now", html::number(now));
  for (std::size_t i = 0; i < activities.size(); ++i) {
    canvas.children.push_back(activitySection(activities[i], i, activities.size(), now));
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

html::Element activityElement(const RenderedActivity& activity, std::size_t index,
                              std::size_t count, double now) {
  return activitySection(activity, index, count, now);
}

html::Element appPanelElement() { return appPanel(); }

}  // namespace corvlin::host
