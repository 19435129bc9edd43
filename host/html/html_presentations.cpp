#include "host/html/html_presentations.hpp"

#include <string>
#include <string_view>

#include "host/html/html_placed.hpp"
#include "host/html/html_views.hpp"
#include "toolkit/view_names.hpp"

namespace corvlin::host::html {
namespace {

using layout::Presentation;
using layout::Rect;

Element textElement(std::string tag, std::string text, std::vector<std::string> classes = {}) {
  Element e = element(std::move(tag), std::move(classes));
  e.text = std::move(text);
  return e;
}

Element figure(std::string presentation, std::string caption) {
  Element f = element("figure", {"presentation"});
  f.setAttribute("data-presentation", std::move(presentation));
  f.children.push_back(textElement("figcaption", std::move(caption)));
  return f;
}

// A frame the phone gives a presentation or a piece of one: what lies outside it is cut off.
Element cutFrame(std::vector<std::string> classes, const Rect& frame, layout::Point origin) {
  Element e = element("div", std::move(classes));
  e.classes.emplace_back("cuts");
  e.setStyle("left", offset(frame.x - origin.x));
  e.setStyle("top", offset(frame.y - origin.y));
  e.setStyle("width", px(frame.width));
  e.setStyle("height", px(frame.height));
  return e;
}

// The region's views, placed in `into` from the top left of `origin`.
void placeRegion(Element& into, const layout::Region& region, layout::Point origin) {
  for (auto& e : placedElements(region.content, origin)) into.children.push_back(std::move(e));
}

// Which figure a layout warning's presentation belongs to: the compact pieces share one.
bool about(const Warning& w, std::string_view figureName) {
  if (figureName == "compact") return w.presentation.starts_with("compact");
  return w.presentation == figureName;
}

// A badge for each clipped or truncated warning about the figure, with a button that shows what
// is cut off when something is.
void addBadges(Element& f, std::string_view figureName, const std::vector<Warning>& warnings) {
  Element report = element("div", {"overflow-report"});
  bool cut = false;
  for (const Warning& w : warnings) {
    const bool clipped = w.kind == Warning::Kind::clipped;
    if (!(clipped || w.kind == Warning::Kind::truncated) || !about(w, figureName)) continue;
    cut = cut || clipped;
    Element badge = textElement("span", w.description, {"overflow-badge"});
    badge.setAttribute("data-testid", "overflow-badge");
    badge.setAttribute("data-kind", std::string(kindName(w.kind)));
    badge.setAttribute("data-presentation", w.presentation);
    if (w.shownLines) badge.setAttribute("data-shown-lines", std::to_string(*w.shownLines));
    if (w.lines) badge.setAttribute("data-lines", std::to_string(*w.lines));
    report.children.push_back(std::move(badge));
  }
  if (report.children.empty()) return;
  if (cut) {
    Element toggle = textElement("button", "Show the cut part", {"overflow-toggle"});
    toggle.setAttribute("type", "button");
    toggle.setAttribute("data-testid", "overflow-toggle");
    toggle.setAttribute("aria-pressed", "false");
    report.children.push_back(std::move(toggle));
  }
  f.children.push_back(std::move(report));
}

Element lockScreen(const LaidOutAnswer& answer) {
  const Presentation& p = answer.layout.lockScreen;
  Element card = cutFrame({"lock-screen"}, {0, 0, p.size.width, p.size.height}, {});
  card.setAttribute("data-testid", "lock-screen");
  card.setAttribute("dir", "ltr");
  // The activity modifiers hand the host the card's background and its own controls' colour.
  const ui::View& view = answer.views.lockScreen;
  if (auto tint = activityBackgroundTint(view)) card.setStyle("background-color", cssColor(*tint));
  if (auto controls = activitySystemActionForegroundColor(view)) {
    card.setStyle("--system-action-color", cssColor(*controls));
  }
  for (const auto& region : p.regions) placeRegion(card, region, {0, 0});
  Element f = figure("lockScreen", "Lock screen, " + number(p.size.width) + " pt wide");
  f.children.push_back(std::move(card));
  addBadges(f, "lockScreen", answer.warnings);
  return f;
}

Element expandedIsland(const LaidOutAnswer& answer) {
  const Presentation& p = answer.layout.expanded;
  Element shape = cutFrame({"island", "island-expanded"}, {0, 0, p.size.width, p.size.height}, {});
  shape.setAttribute("data-testid", "island-expanded");
  shape.setAttribute("dir", "ltr");
  std::string names;
  for (const auto& region : p.regions) {
    std::string name(region.name);
    if (name.starts_with("expanded ")) name.erase(0, 9);
    Element r = element("div", {"region", "placed"});
    r.setStyle("left", offset(region.frame.x));
    r.setStyle("top", offset(region.frame.y));
    r.setStyle("width", px(region.frame.width));
    r.setStyle("height", px(region.frame.height));
    r.setAttribute("data-testid", "expanded-" + name);
    r.setAttribute("data-region", name);
    r.setAttribute("aria-label", "expanded " + name);
    for (const auto& e : answer.views.dynamicIsland.expanded) {
      if (ui::name(e.position) == name) r.setAttribute("data-priority", number(e.priority));
    }
    placeRegion(r, region, {region.frame.x, region.frame.y});
    shape.children.push_back(std::move(r));
    names += (names.empty() ? "" : ", ") + name;
  }
  // An activity that has not drawn yet has no regions to name.
  Element f = figure("expanded", "Dynamic Island, expanded" +
                                     (names.empty() ? std::string() : " (" + names + ")"));
  f.children.push_back(std::move(shape));
  addBadges(f, "expanded", answer.warnings);
  return f;
}

Element compactIsland(const LaidOutAnswer& answer) {
  const Presentation& p = answer.layout.compact;
  Element shape = element("div", {"island", "island-compact"});
  shape.setStyle("width", px(p.size.width));
  shape.setStyle("height", px(p.size.height));
  shape.setAttribute("data-testid", "island-compact");
  shape.setAttribute("dir", "ltr");
  // The sensor housing between the pieces, with the camera at its right.
  Element camera = cutFrame({"camera-area", "placed"},
                            {layout::compactPieceWidth, 0, layout::cameraWidth, p.size.height}, {});
  camera.setAttribute("aria-hidden", "true");
  camera.children.push_back(element("div", {"camera-lens"}));
  shape.children.push_back(std::move(camera));
  for (const auto& region : p.regions) {
    const bool leading = region.name == "compactLeading";
    Element piece = cutFrame({"region", "compact-piece", "placed"}, region.frame, {});
    piece.setAttribute("data-testid", leading ? "compact-leading" : "compact-trailing");
    piece.setAttribute("aria-label", leading ? "compact leading" : "compact trailing");
    placeRegion(piece, region, {region.frame.x, region.frame.y});
    shape.children.push_back(std::move(piece));
  }
  Element f = figure("compact", "Dynamic Island, compact");
  f.children.push_back(std::move(shape));
  Element labels = element("div", {"piece-labels"});
  labels.children.push_back(textElement("span", "compact leading"));
  labels.children.push_back(textElement("span", "compact trailing"));
  f.children.push_back(std::move(labels));
  addBadges(f, "compact", answer.warnings);
  return f;
}

Element minimalIsland(const LaidOutAnswer& answer) {
  const Presentation& p = answer.layout.minimal;
  Element shape = element("div", {"island", "island-minimal"});
  shape.setAttribute("data-testid", "island-minimal");
  shape.setAttribute("dir", "ltr");
  for (const auto& region : p.regions) {
    Element piece = cutFrame({"region", "minimal-piece"}, region.frame, {});
    piece.setAttribute("data-testid", "minimal");
    placeRegion(piece, region, {region.frame.x, region.frame.y});
    shape.children.push_back(std::move(piece));
  }
  Element f = figure("minimal", "Minimal");
  f.children.push_back(std::move(shape));
  addBadges(f, "minimal", answer.warnings);
  return f;
}

}  // namespace

Element presentationFigures(const LaidOutAnswer& answer) {
  Element row = element("div", {"presentations"});
  row.children.push_back(lockScreen(answer));
  row.children.push_back(expandedIsland(answer));
  row.children.push_back(compactIsland(answer));
  row.children.push_back(minimalIsland(answer));
  return row;
}

}  // namespace corvlin::host::html
