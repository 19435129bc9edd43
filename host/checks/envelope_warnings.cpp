#include "host/checks/envelope_warnings.hpp"

#include <cmath>
#include <string>

#include "host/checks/content_state_warnings.hpp"
#include "host/checks/unknown_keys.hpp"
#include "host/text/instant_text.hpp"
#include "json/number_format.hpp"
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

std::string numberText(double value) {
  std::string out;
  json::appendNumber(out, value);
  return out;
}

// "300 s", "25 minutes", "about 5 hours", "about 12 days": how far apart two instants are.
std::string spanText(double seconds) {
  if (seconds < 120) return numberText(std::round(seconds * 1000) / 1000) + " s";
  if (seconds < 120 * 60) return numberText(std::round(seconds / 60)) + " minutes";
  if (seconds < 48 * 3600) return "about " + numberText(std::round(seconds / 3600)) + " hours";
  return "about " + numberText(std::round(seconds / 86400)) + " days";
}

// "1767225300 (2026-01-01 00:55:00 UTC)"
std::string instantText(double seconds) {
  return numberText(seconds) + " (" + utcText(seconds) + ")";
}

void append(std::vector<Warning>& out, std::vector<Warning> more) {
  out.insert(out.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

}  // namespace

std::optional<Warning> staleOnArrivalWarning(const updates::Envelope& envelope,
                                             std::optional<Instant> arrivedAt) {
  if (!envelope.staleDate || envelope.event == updates::Event::end) return std::nullopt;
  const double stale = *envelope.staleDate;
  const std::string shown = "the phone shows the activity as stale as soon as it applies this ";
  const std::string what = "The stale-date " + instantText(stale);
  // A timestamp in milliseconds has a warning of its own and says nothing of when it was sent.
  const double sent = envelope.timestamp;
  if (sent <= millisecondsInstantThreshold && stale <= sent) {
    return Warning{Warning::Kind::staleOnArrival, apsPath("stale-date"),
                   what +
                       (stale == sent ? " is the timestamp itself"
                                      : " is " + spanText(sent - stale) + " before the timestamp " +
                                            instantText(sent)) +
                       ", so the update is stale when it is sent.",
                   shown + "update; give a stale-date after the timestamp"};
  }
  if (arrivedAt && stale <= arrivedAt->timeIntervalSince1970) {
    const double at = arrivedAt->timeIntervalSince1970;
    return Warning{Warning::Kind::staleOnArrival, apsPath("stale-date"),
                   what +
                       (stale == at ? " is the instant the push arrives, "
                                    : " is already " + spanText(at - stale) +
                                          " past when the push arrives at ") +
                       utcText(at) + ".",
                   shown + "update; give a stale-date still ahead when the push arrives"};
  }
  return std::nullopt;
}

std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt) {
  return envelopeWarnings(root, envelope, renderAt, renderAt);
}

std::vector<Warning> envelopeWarnings(simdjson::dom::element root,
                                      const updates::Envelope& envelope,
                                      std::optional<Instant> renderAt,
                                      std::optional<Instant> arrivedAt) {
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
  if (auto stale = staleOnArrivalWarning(envelope, arrivedAt)) out.push_back(std::move(*stale));
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
