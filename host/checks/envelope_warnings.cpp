#include "host/checks/envelope_warnings.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>

#include "host/cli/input.hpp"
#include "model/coding.hpp"
#include "model/json/writer.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

using updates::ApsCodingKeys;

// Positional, never exponent form, so that the digits can be compared with the payload's.
std::string numberText(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (result.ec != std::errc()) return std::to_string(value);
  return std::string(buffer, result.ptr);
}

CodingPath apsPath(std::string_view key) { return {std::string("aps"), std::string(key)}; }

void checkMilliseconds(std::vector<Warning>& out, CodingPath path, std::string_view what,
                       std::optional<double> value) {
  if (!value || !(*value > millisecondsThreshold)) return;
  out.push_back(Warning{Warning::Kind::millisecondsInstant, std::move(path),
                        "The " + std::string(what) + " " + numberText(*value) +
                            " looks like milliseconds since 1970; it is read as seconds, "
                            "thousands of years from now.",
                        "in seconds: " + numberText(*value / 1000)});
}

std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Checks of the content state inside the envelope, paths under ["aps","content-state"].
// The content-state pass (host/checks/content_state_warnings.*) is to run here, its paths
// prefixed, once it exists; until then this covers what an envelope adds to the risk: timer
// instants in milliseconds and a state over the budget.
void contentStateWarnings(std::vector<Warning>& out, const ContentState& state) {
  auto path = [](std::string_view key) {
    CodingPath p = apsPath("content-state");
    p.emplace_back(std::string(key));
    return p;
  };
  checkMilliseconds(out, path("timerStart"), "timerStart", state.timerStart);
  checkMilliseconds(out, path("timerEnd"), "timerEnd", state.timerEnd);
  auto coded = encodeContentState(state);
  if (coded && coded.value().size() > activityDataBudgetBytes) {
    out.push_back(Warning{Warning::Kind::overBudget, apsPath("content-state"),
                          "The coded content state is " + std::to_string(coded.value().size()) +
                              " bytes, over the " + std::to_string(activityDataBudgetBytes) +
                              "-byte budget for an activity's data; the phone refuses it.",
                          ""});
  }
}

}  // namespace

std::string_view nearestKey(std::string_view name, const std::vector<std::string_view>& known) {
  for (std::string_view key : known) {
    if (equalIgnoringCase(key, name)) return key;
  }
  std::string_view best;
  std::size_t bestDistance = 3;
  for (std::string_view key : known) {
    const std::size_t d = editDistance(name, key);
    if (d < bestDistance) {
      best = key;
      bestDistance = d;
    }
  }
  return best;
}

std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope) {
  std::vector<Warning> out;
  const auto& keys = json::CodingKeyStrings<ApsCodingKeys>::values;
  const std::vector<std::string_view> known(keys.begin(), keys.end());
  simdjson::dom::object aps;
  if (root["aps"].get_object().get(aps) == simdjson::SUCCESS) {
    for (auto field : aps) {
      if (json::codingKeyFromString<ApsCodingKeys>(field.key)) continue;
      std::string hint;
      if (auto near = nearestKey(field.key, known); !near.empty()) {
        hint = "did you mean ";
        json::appendString(hint, near);
        hint += '?';
      }
      std::string description = "The member ";
      json::appendString(description, field.key);
      description += " of \"aps\" is not read; the update goes on without it.";
      out.push_back(Warning{Warning::Kind::unknownKey, apsPath(field.key), std::move(description),
                            std::move(hint)});
    }
  }

  checkMilliseconds(out, apsPath("timestamp"), "timestamp", envelope.timestamp);
  if (envelope.contentState) contentStateWarnings(out, *envelope.contentState);
  checkMilliseconds(out, apsPath("stale-date"), "stale date", envelope.staleDate);
  checkMilliseconds(out, apsPath("dismissal-date"), "dismissal date", envelope.dismissalDate);
  if (envelope.dismissalDate && envelope.event != updates::Event::end) {
    out.push_back(Warning{Warning::Kind::dismissalDateNotEnd, apsPath("dismissal-date"),
                          "A dismissal date is read only with the \"end\" event; with \"" +
                              std::string(updates::eventName(envelope.event)) + "\" it is ignored.",
                          "send it with \"event\":\"end\""});
  }
  return out;
}

}  // namespace corvlin::host
