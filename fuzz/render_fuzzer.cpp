// Every content state that decodes from arbitrary bytes is rendered: all seven presentations are
// built and survive their JSON form; no presentation holds more than three links; every link is
// the action deep link with exactly one query item whose value unescapes to the trimmed id of
// the action it stands for, in the order the actions were chosen; every timer runs forwards.
#include <simdjson.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "extension/widget.hpp"
#include "fuzz_check.hpp"
#include "model/coding.hpp"
#include "toolkit/view_json.hpp"
#include "views/action_row.hpp"

namespace {

using corvlin::fuzz::require;
namespace ui = corvlin::ui;

// The instant the corpus's timers are written against.
constexpr double pinnedNow = 1767225510;

// The links of a tree in drawing order; on the way, every timer text must run forwards.
void collectLinks(const ui::View& view, std::vector<const ui::Link*>& links);

void collectChildren(const ui::Views& children, std::vector<const ui::Link*>& links) {
  for (const auto& child : children) collectLinks(child, links);
}

void collectLinks(const ui::View& view, std::vector<const ui::Link*>& links) {
  if (const auto* link = std::get_if<ui::Link>(&view.kind)) {
    links.push_back(link);
    collectLinks(*link->label, links);
  } else if (const auto* h = std::get_if<ui::HStack>(&view.kind)) {
    collectChildren(h->children, links);
  } else if (const auto* v = std::get_if<ui::VStack>(&view.kind)) {
    collectChildren(v->children, links);
  } else if (const auto* z = std::get_if<ui::ZStack>(&view.kind)) {
    collectChildren(z->children, links);
  } else if (const auto* each = std::get_if<ui::ForEach>(&view.kind)) {
    collectChildren(each->children, links);
  } else if (const auto* timer = std::get_if<ui::TimerText>(&view.kind)) {
    require(timer->lower <= timer->upper, "a timer text's range runs forwards",
            std::to_string(timer->lower) + " > " + std::to_string(timer->upper));
  }
  for (const auto& modifier : view.modifiers) {
    if (const auto* background = std::get_if<ui::Background>(&modifier)) {
      collectLinks(*background->content, links);
    }
  }
}

std::vector<const ui::Link*> linksIn(const ui::View& view) {
  std::vector<const ui::Link*> links;
  collectLinks(view, links);
  return links;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The value of the one query item "actionId", unescaped as a query parser would; nothing when
// the query holds anything else (a second item, a fragment, a bad escape, a raw '+').
std::optional<std::string> onlyActionIdValue(std::string_view url) {
  const std::string prefix =
      std::string(corvlin::appLinkPrefix) + std::string(corvlin::actionLinkPath);
  if (!url.starts_with(prefix)) return std::nullopt;
  const std::string_view value = url.substr(prefix.size());
  std::string decoded;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '&' || c == ';' || c == '#' || c == '=' || c == '+' || c == '?') return std::nullopt;
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      return std::nullopt;
    }
    if (c != '%') {
      decoded += c;
      continue;
    }
    if (i + 2 >= value.size()) return std::nullopt;
    const int high = hexValue(value[i + 1]);
    const int low = hexValue(value[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

void checkLinks(const ui::View& presentation, const std::vector<corvlin::ActionSpec>& chosen,
                bool rowShown, bool holdsRow) {
  const auto links = linksIn(presentation);
  require(links.size() <= corvlin::maxVisibleActions, "at most three links in a presentation");
  if (!holdsRow || !rowShown) {
    require(links.empty(), "no links where no action row is shown");
    return;
  }
  require(links.size() == chosen.size(), "one link per chosen action");
  for (std::size_t i = 0; i < links.size(); ++i) {
    const std::string url(links[i]->destination);
    const auto value = onlyActionIdValue(url);
    require(value.has_value(), "a link is the action deep link with one query item", url);
    const std::string trimmed = corvlin::trimmedActionId(chosen[i].actionId);
    require(*value == trimmed, "a link's actionId unescapes to the trimmed id", url);
    require(!value->empty() && corvlin::trimmedActionId(*value) == *value,
            "the id in a link is non-empty and has nothing left to trim", url);
  }
}

void render(const corvlin::ContentState& state, double now) {
  const corvlin::ActivityViewContext context{{}, state};
  const auto configuration = corvlin::CorvlinLiveActivityWidget{}.body();
  const auto built =
      corvlin::presentations(configuration, context, corvlin::fixedNow(corvlin::Instant{now}));
  const auto& island = built.dynamicIsland;
  require(island.expanded.size() == 3, "three expanded regions: all seven presentations built");

  // The form the host reads back gives the same trees.
  const std::string json = ui::toJson(built);
  simdjson::dom::parser parser;
  auto element = corvlin::json::parse(parser, json);
  require(element.ok(), "the presentations' JSON parses", json);
  auto read = ui::presentationsFromJson(element.value());
  require(read.ok(), "the presentations' JSON reads back",
          read.ok() ? json : corvlin::errorJson(read.error()));
  require(read.value() == built, "the presentations' JSON reads back to equal trees", json);

  const bool rowShown =
      !std::holds_alternative<corvlin::Clock::Elapsed>(state.clock(corvlin::Instant{now}).value);
  const auto chosen = corvlin::visibleActions(state);
  require(chosen.size() <= corvlin::maxVisibleActions, "at most three chosen actions");
  checkLinks(built.lockScreen, chosen, rowShown, true);
  for (const auto& region : island.expanded) {
    checkLinks(region.content, chosen, rowShown,
               region.position == ui::ExpandedRegionPosition::bottom);
  }
  checkLinks(island.compactLeading, chosen, rowShown, false);
  checkLinks(island.compactTrailing, chosen, rowShown, false);
  checkLinks(island.minimal, chosen, rowShown, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto decoded = corvlin::decodeContentState(bytes);
  if (!decoded) return 0;
  const corvlin::ContentState& state = decoded.value();
  render(state, pinnedNow);
  // Also around the state's own instants, wherever they are: just before a countdown's end
  // (its row still shows) and just after a count-up's start.
  if (state.timerEnd && std::isfinite(*state.timerEnd)) render(state, *state.timerEnd - 30);
  if (state.timerStart && std::isfinite(*state.timerStart)) render(state, *state.timerStart + 30);
  return 0;
}
