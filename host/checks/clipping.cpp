#include "host/checks/clipping.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "host/checks/text_warnings.hpp"
#include "host/text/timer_format.hpp"

namespace corvlin::host {
namespace {

using layout::Node;

// Half a point of slack, as the page allows for the browser's rounding.
constexpr double slack = 0.5;
constexpr std::size_t quotedLength = 40;

std::string points(double value) { return std::to_string(std::lround(value)) + " pt"; }

// The text with the most characters in the tree, and how many lines it took.
struct LongestText {
  std::string_view text;
  std::size_t characters = 0;
  std::size_t lines = 0;
};

void findLongest(const Node& node, LongestText& longest) {
  if (!node.modifier && node.view) {
    if (const auto* t = std::get_if<ui::Text>(&node.view->kind)) {
      const std::size_t n = layout::graphemeStarts(t->text).size() - 1;
      if (n > longest.characters) longest = {t->text, n, node.lines.size()};
    }
  }
  for (const auto& child : node.children) findLongest(child, longest);
}

std::string quoted(std::string_view text) {
  const auto starts = layout::graphemeStarts(text);
  if (starts.size() - 1 > quotedLength) {
    return "\"" + std::string(text.substr(0, starts[quotedLength])) + "\xE2\x80\xA6\"";
  }
  return "\"" + std::string(text) + "\"";
}

std::string tallHint(const layout::Presentation& p) {
  LongestText longest;
  for (const auto& region : p.regions) findLongest(region.content, longest);
  if (longest.lines > 1) {
    return "the longest text, " + quoted(longest.text) + " (" + std::to_string(longest.characters) +
           " characters), takes " + std::to_string(longest.lines) + " lines; a shorter text fits";
  }
  return "show fewer texts or buttons: the phone gives this presentation " + points(p.size.height);
}

Warning clipped(const CodingPath& path, std::string presentation, std::string description,
                std::string hint) {
  return {Warning::Kind::clipped, path, std::move(description), std::move(hint),
          std::move(presentation)};
}

}  // namespace

std::vector<Warning> clippingWarnings(const layout::ActivityLayout& activity,
                                      const CodingPath& path) {
  std::vector<Warning> out;
  // Too tall: the lock screen and the expanded island grow to 160 points, then cut.
  const struct {
    const layout::Presentation* p;
    const char* name;
    const char* said;
  } tall[] = {{&activity.lockScreen, "lockScreen", "The lock screen's content is "},
              {&activity.expanded, "expanded", "The expanded island's content is "}};
  for (const auto& t : tall) {
    if (t.p->content.height > t.p->size.height + slack) {
      out.push_back(clipped(path, t.name,
                            t.said + points(t.p->content.height) + " tall; the phone shows " +
                                points(t.p->size.height) + " and cuts off the rest.",
                            tallHint(*t.p)));
    }
  }
  // Too wide, or too tall for a piece of fixed size: each region against its own frame.
  for (const auto* p :
       {&activity.lockScreen, &activity.expanded, &activity.compact, &activity.minimal}) {
    for (const auto& region : p->regions) {
      const layout::Rect& frame = region.frame;
      const layout::Rect content = layout::bounds(region.content);
      const bool wide = content.width > frame.width + slack;
      const bool high = p != &activity.lockScreen && p != &activity.expanded &&
                        content.height > frame.height + slack;
      if (!wide && !high) continue;
      const std::string name(region.name);
      std::string description = "The " + name + " content is ";
      description += wide && high ? points(content.width) + " x " + points(content.height)
                     : wide       ? points(content.width) + " wide"
                                  : points(content.height) + " tall";
      description += "; the phone shows " +
                     (wide && high ? points(frame.width) + " x " + points(frame.height)
                      : wide       ? points(frame.width)
                                   : points(frame.height)) +
                     " and cuts off the rest.";
      const std::string presentation = p == &activity.expanded ? std::string("expanded") : name;
      out.push_back(clipped(path, presentation, std::move(description),
                            "make its views smaller, or its texts shorter"));
    }
  }
  return out;
}

std::vector<Warning> layoutWarnings(const layout::ActivityLayout& activity,
                                    const ContentState* state, const CodingPath& path,
                                    const CodingPath& statePath) {
  std::vector<Warning> out = clippingWarnings(activity, path);
  for (auto& w : textWarnings(activity, state, statePath)) out.push_back(std::move(w));
  return out;
}

std::vector<Warning> layoutWarningsAt(const ui::Presentations& views, const ContentState* state,
                                      double now, double lockScreenWidth,
                                      layout::TextMeasurer& measurer, const CodingPath& statePath) {
  layout::Options options;
  options.timerText = [now](const ui::TimerText& t) { return timerTextAt(t, now); };
  return layoutWarnings(layout::layoutActivity(views, lockScreenWidth, measurer, options), state,
                        {}, statePath);
}

}  // namespace corvlin::host
