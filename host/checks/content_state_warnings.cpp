#include "host/checks/content_state_warnings.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <variant>

#include "host/checks/unknown_keys.hpp"
#include "host/text/timer_format.hpp"
#include "json/writer.hpp"
#include "model/clock.hpp"
#include "model/coding.hpp"
#include "model/coding_keys.hpp"
#include "views/action_row.hpp"
#include "views/lock_screen_view.hpp"
#include "views/timer_view.hpp"

namespace corvlin::host {
namespace {

using Kind = Warning::Kind;

CodingPath pathTo(const CodingPath& prefix, std::initializer_list<CodingPathElement> steps) {
  CodingPath path = prefix;
  path.insert(path.end(), steps.begin(), steps.end());
  return path;
}

std::string jsonQuoted(std::string_view text) {
  std::string out;
  json::appendString(out, text);
  return out;
}

// For people: a whole number in its digits (1767240000000, not the shorter 1.76724e+12).
std::string numberText(double value) {
  if (std::floor(value) == value && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<std::int64_t>(value));
  }
  std::string out;
  json::appendNumber(out, value);
  return out;
}

std::string didYouMean(std::string_view keyword) {
  return "did you mean " + jsonQuoted(keyword) + "?";
}
std::string didYouMean(double number) { return "did you mean " + numberText(number) + "?"; }

// "actions[3] and actions[4]", positions counted from 0 as in a coding path.
std::string positionList(const std::vector<std::size_t>& positions) {
  std::string out;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (i > 0) out += i + 1 == positions.size() ? " and " : ", ";
    out += "actions[" + std::to_string(positions[i]) + "]";
  }
  return out;
}

// "about 28 hours", "about 3 days", "about 55972 years": the size of a span of time.
std::string distanceText(double seconds) {
  const double hours = std::fabs(seconds) / 3600;
  if (hours < 48) return "about " + numberText(std::round(hours)) + " hours";
  if (hours < 24 * 3650) return "about " + numberText(std::round(hours / 24)) + " days";
  return "about " + numberText(std::round(hours / 24 / 365.25)) + " years";
}

// Lower case, without spaces, hyphens and underscores: the form synonyms are looked up in.
std::string squeezed(std::string_view keyword) {
  std::string out;
  for (char c : keyword) {
    if (c == ' ' || c == '-' || c == '_') continue;
    out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

struct Synonyms {
  std::string_view keyword;
  std::vector<std::string_view> words;  // squeezed
};

std::optional<std::string_view> meantKeyword(std::string_view given,
                                             const std::vector<Synonyms>& table) {
  const std::string key = squeezed(given);
  for (const auto& entry : table) {
    if (key == entry.keyword) return entry.keyword;
    for (std::string_view word : entry.words) {
      if (key == word) return entry.keyword;
    }
  }
  return std::nullopt;
}

const std::vector<Synonyms>& toneSynonyms() {
  static const std::vector<Synonyms> table{
      {"danger", {"error", "critical", "alert", "fail", "failed", "failure", "red"}},
      {"warning", {"warn", "caution", "amber", "yellow", "orange"}},
      {"positive", {"success", "succeeded", "ok", "good", "done", "green"}},
  };
  return table;
}

const std::vector<Synonyms>& directionSynonyms() {
  static const std::vector<Synonyms> table{
      {"up",
       {"countup", "countingup", "increasing", "ascending", "forward", "forwards", "stopwatch"}},
      {"down",
       {"countdown", "countingdown", "decreasing", "descending", "backward", "backwards",
        "remaining"}},
  };
  return table;
}

void checkKeywords(const ContentState& state, const CodingPath& prefix, std::vector<Warning>& out) {
  if (state.tone && *state.tone != "danger" && *state.tone != "warning" &&
      *state.tone != "positive") {
    const auto meant = meantKeyword(*state.tone, toneSynonyms());
    out.push_back({Kind::unknownKeyword, pathTo(prefix, {std::string("tone")}),
                   "The tone " + jsonQuoted(*state.tone) +
                       " is none of \"danger\", \"warning\", \"positive\" (compared exactly); "
                       "the accent falls back to the default blue.",
                   meant ? didYouMean(*meant) : "one of \"danger\", \"warning\", \"positive\""});
  }
  if (state.timerDirection && *state.timerDirection != "up" && *state.timerDirection != "down") {
    const auto meant = meantKeyword(*state.timerDirection, directionSynonyms());
    out.push_back({Kind::unknownKeyword, pathTo(prefix, {std::string("timerDirection")}),
                   "The timerDirection " + jsonQuoted(*state.timerDirection) +
                       " is neither \"up\" nor \"down\" (compared exactly); the timer is hidden.",
                   meant ? didYouMean(*meant) : "\"up\" or \"down\""});
  }
}

void checkIncompleteTimer(const ContentState& state, const Clock& clock, const CodingPath& prefix,
                          std::vector<Warning>& out) {
  if (!std::holds_alternative<Clock::Hidden>(clock.value)) return;
  const auto& direction = state.timerDirection;
  if (direction && *direction == "down" && !state.timerEnd) {
    out.push_back({Kind::timerIncomplete, pathTo(prefix, {std::string("timerDirection")}),
                   "The timer counts down but has no timerEnd, so it is hidden.",
                   "add \"timerEnd\", the instant the countdown ends"});
  } else if (direction && *direction == "up" && !state.timerStart) {
    out.push_back({Kind::timerIncomplete, pathTo(prefix, {std::string("timerDirection")}),
                   "The timer counts up but has no timerStart, so it is hidden.",
                   "add \"timerStart\", the instant the count-up starts"});
  } else if (!direction && (state.timerStart || state.timerEnd)) {
    const char* field = state.timerEnd ? "timerEnd" : "timerStart";
    std::string hint = "add \"timerDirection\": ";
    if (state.timerEnd && state.timerStart) {
      hint += "\"down\" to count down to timerEnd, or \"up\" to count up from timerStart";
    } else if (state.timerEnd) {
      hint += "\"down\" to count down to timerEnd";
    } else {
      hint += "\"up\" to count up from timerStart";
    }
    out.push_back(
        {Kind::timerIncomplete, pathTo(prefix, {std::string(field)}),
         std::string("There is a ") + field + " but no timerDirection, so the timer is hidden.",
         std::move(hint)});
  }
}

// The text the timer shows at `now`, as the extension draws it and the host writes it.
std::string timerTextShown(const ContentState& state, Instant now) {
  const ui::View view = timerBody(state, fixedNow(now));
  if (const auto* timer = std::get_if<ui::TimerText>(&view.kind)) {
    return timerTextAt(*timer, now.timeIntervalSince1970);
  }
  if (const auto* text = std::get_if<ui::Text>(&view.kind)) return std::string(text->text);
  return "";
}

void checkInstants(const ContentState& state, const Clock& clock, std::optional<Instant> renderAt,
                   const CodingPath& prefix, std::vector<Warning>& out) {
  for (const auto& [field, value] :
       {std::pair{"timerStart", state.timerStart}, std::pair{"timerEnd", state.timerEnd}}) {
    if (!value) continue;
    if (auto w = millisecondsInstantWarning(*value, pathTo(prefix, {std::string(field)}))) {
      out.push_back(std::move(*w));
    }
  }
  if (!renderAt) return;
  const auto& direction = state.timerDirection;
  const bool down = direction && *direction == "down";
  const bool up = direction && *direction == "up";
  const std::optional<double> used = down ? state.timerEnd : up ? state.timerStart : std::nullopt;
  if (!used) return;
  const double offset = *used - renderAt->timeIntervalSince1970;
  if (std::fabs(offset) > clampWindowSeconds) {
    const char* field = down ? "timerEnd" : "timerStart";
    std::string hint = "the timer will show " + jsonQuoted(timerTextShown(state, *renderAt));
    if (std::holds_alternative<Clock::Running>(clock.value)) {
      hint += down ? " and count down from there" : " and count up from there";
    }
    out.push_back({Kind::instantFarFromNow, pathTo(prefix, {std::string(field)}),
                   std::string("The ") + field + " lies " + distanceText(offset) +
                       (offset > 0 ? " after" : " before") +
                       " the render instant; a timer instant is held to within a day of it.",
                   std::move(hint)});
  }
  if (std::holds_alternative<Clock::Elapsed>(clock.value)) {
    std::string description = "The countdown ended " + numberText(std::floor(-offset)) +
                              " s before the render instant, so the timer shows 0:00";
    const std::size_t buttons = visibleActions(state).size();
    if (buttons > 0) description += " and no button is shown";
    out.push_back(
        {Kind::alreadyEnded, pathTo(prefix, {std::string("timerEnd")}), description + ".", ""});
  }
}

void checkProgress(const ContentState& state, const CodingPath& prefix, std::vector<Warning>& out) {
  if (!state.progress) return;
  const double p = *state.progress;
  if (p >= 0 && p <= 1) return;
  const bool full = ringProgress(p) >= 1;
  out.push_back({Kind::progressOutOfRange, pathTo(prefix, {std::string("progress")}),
                 "The progress " + numberText(p) + " is outside 0 to 1; the ring is drawn " +
                     (full ? "full." : "empty."),
                 p > 1 && p <= 100 ? didYouMean(p / 100) : ""});
}

void checkActions(const ContentState& state, const CodingPath& prefix, std::vector<Warning>& out) {
  if (!state.actions) return;
  const auto& actions = *state.actions;
  std::vector<std::size_t> beyondThird;
  std::size_t usable = 0;
  for (std::size_t i = 0; i < actions.size(); ++i) {
    const std::string position = "actions[" + std::to_string(i) + "]";
    if (!actionURL(actions[i])) {
      out.push_back({Kind::actionsDropped,
                     pathTo(prefix, {std::string("actions"), i, std::string("actionId")}),
                     position + " has a blank actionId, so it has no deep link and no button.",
                     position + " will not show"});
    } else if (++usable > maxVisibleActions) {
      beyondThird.push_back(i);
    }
    if (trimmedActionId(actions[i].label).empty()) {
      out.push_back(
          {Kind::emptyLabel, pathTo(prefix, {std::string("actions"), i, std::string("label")}),
           position + " has " +
               (actions[i].label.empty() ? "an empty label" : "a label of only white space") +
               ": its button would show no text.",
           ""});
    }
  }
  if (!beyondThird.empty()) {
    out.push_back({Kind::actionsDropped, pathTo(prefix, {std::string("actions")}),
                   std::to_string(usable) + " actions have a deep link; only the first " +
                       std::to_string(maxVisibleActions) + " get a button.",
                   positionList(beyondThird) + " will not show"});
  }
}

}  // namespace

std::optional<Warning> millisecondsInstantWarning(double seconds, const CodingPath& path) {
  if (!(seconds > millisecondsInstantThreshold)) return std::nullopt;
  std::string name = "value";
  if (!path.empty()) {
    if (const auto* key = std::get_if<std::string>(&path.back())) name = *key;
  }
  return Warning{Kind::millisecondsInstant, path,
                 "Read as seconds since 1970, the " + name + " " + numberText(seconds) +
                     " falls in about the year " +
                     numberText(std::floor(1970 + seconds / (365.25 * 86400))) +
                     "; it looks like milliseconds.",
                 didYouMean(seconds / 1000)};
}

std::vector<Warning> contentStateWarnings(simdjson::dom::element raw, const ContentState& state,
                                          std::optional<Instant> renderAt,
                                          const CodingPath& prefix) {
  std::vector<Warning> out;
  simdjson::dom::object object;
  if (raw.get_object().get(object) == simdjson::SUCCESS) {
    out = unknownKeyWarnings<ContentStateCodingKeys>(object, prefix, "content state");
    simdjson::dom::array actions;
    if (object["actions"].get_array().get(actions) == simdjson::SUCCESS) {
      std::size_t index = 0;
      for (simdjson::dom::element action : actions) {
        simdjson::dom::object members;
        if (action.get_object().get(members) == simdjson::SUCCESS) {
          for (auto& w : unknownKeyWarnings<ActionSpecCodingKeys>(
                   members, pathTo(prefix, {std::string("actions"), index}), "action")) {
            out.push_back(std::move(w));
          }
        }
        ++index;
      }
    }
  }
  // Whether the clock is hidden does not depend on the instant, so without one any will do.
  const Clock clock = state.clock(renderAt.value_or(Instant{}));
  checkInstants(state, clock, renderAt, prefix, out);
  checkKeywords(state, prefix, out);
  checkIncompleteTimer(state, clock, prefix, out);
  checkProgress(state, prefix, out);
  checkActions(state, prefix, out);
  if (auto coded = encodeContentState(state);
      coded && coded.value().size() > activityDataBudgetBytes) {
    out.push_back({Kind::overBudget, prefix,
                   "The coded content state is " + std::to_string(coded.value().size()) +
                       " bytes, over the " + std::to_string(activityDataBudgetBytes) +
                       "-byte budget for an activity's data; the phone would refuse this update.",
                   ""});
  }
  return out;
}

std::vector<Warning> attributesWarnings(simdjson::dom::element raw, const CodingPath& prefix) {
  simdjson::dom::object object;
  if (raw.get_object().get(object) != simdjson::SUCCESS) return {};
  return unknownKeyWarnings<AttributesCodingKeys>(object, prefix, "attributes record");
}

}  // namespace corvlin::host
