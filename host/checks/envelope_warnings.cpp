#include "host/checks/envelope_warnings.hpp"

#include <string>

#include "host/checks/content_state_warnings.hpp"
#include "host/checks/unknown_keys.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

CodingPath apsPath(std::string_view key) { return {std::string("aps"), std::string(key)}; }

void checkMilliseconds(std::vector<Warning>& out, std::string_view key,
                       std::optional<double> value) {
  if (!value) return;
  if (auto warning = millisecondsInstantWarning(*value, apsPath(key))) {
    out.push_back(std::move(*warning));
  }
}

void append(std::vector<Warning>& out, std::vector<Warning> more) {
  out.insert(out.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

}  // namespace

std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt) {
  std::vector<Warning> out;
  simdjson::dom::object aps;
  if (root["aps"].get_object().get(aps) != simdjson::SUCCESS) return out;
  append(out, unknownKeyWarnings<updates::ApsCodingKeys>(aps, {std::string("aps")}, "envelope"));

  const std::size_t before = out.size();
  checkMilliseconds(out, "timestamp", envelope.timestamp);
  if (out.size() > before) {
    // The phone compares timestamps as numbers: this one is newer than any in seconds.
    out.back().description +=
        " The phone applies it as newer than any update timestamped in seconds, and then ignores "
        "every later update as older than this one.";
  }
  checkMilliseconds(out, "stale-date", envelope.staleDate);
  checkMilliseconds(out, "dismissal-date", envelope.dismissalDate);
  if (envelope.dismissalDate && envelope.event != updates::Event::end) {
    out.push_back(Warning{Warning::Kind::dismissalDateNotEnd, apsPath("dismissal-date"),
                          "A dismissal date is read only with the \"end\" event; with \"" +
                              std::string(updates::eventName(envelope.event)) + "\" it is ignored.",
                          "send it with \"event\":\"end\""});
  }
  simdjson::dom::element raw;
  if (envelope.contentState && aps["content-state"].get(raw) == simdjson::SUCCESS) {
    append(out,
           contentStateWarnings(raw, *envelope.contentState, renderAt, apsPath("content-state")));
  }
  if (envelope.attributes && aps["attributes"].get(raw) == simdjson::SUCCESS) {
    append(out, attributesWarnings(raw, apsPath("attributes")));
  }
  return out;
}

}  // namespace corvlin::host
