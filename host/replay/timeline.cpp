#include "host/replay/timeline.hpp"

#include <simdjson.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "host/checks/content_state_warnings.hpp"
#include "host/checks/envelope_warnings.hpp"
#include "json/decoding.hpp"
#include "json/parse.hpp"
#include "json/try.hpp"
#include "json/writer.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

using json::PathNode;
using simdjson::dom::element;

enum class WrappedCodingKeys : std::uint8_t { at, payload };
enum class BroadcastCodingKeys : std::uint8_t { channel, at, push };

}  // namespace
}  // namespace corvlin::host

template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::WrappedCodingKeys> {
  static constexpr std::array<std::string_view, 2> values{"at", "payload"};
};

template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::BroadcastCodingKeys> {
  static constexpr std::array<std::string_view, 3> values{"channel", "at", "push"};
};

namespace corvlin::host {
namespace {

std::optional<double> numberAt(element value, std::string_view key) {
  double number = 0;
  if (value[key].get_double().get(number) == simdjson::SUCCESS) return number;
  std::int64_t whole = 0;
  if (value[key].get_int64().get(whole) == simdjson::SUCCESS) return static_cast<double>(whole);
  return std::nullopt;
}

// An envelope's timestamp read as its arrival: only when it is plausible as seconds.
std::optional<Instant> arrivalAtTimestamp(double timestamp) {
  if (timestamp >= earliestArrival && timestamp <= millisecondsInstantThreshold) {
    return Instant{timestamp};
  }
  return std::nullopt;
}

bool representable(double at) { return at >= earliestArrival && at <= latestArrival; }

// The instant a broken record arrived at, when it can still be read; else it arrives right after
// the record before it.
std::optional<Instant> arrivalOf(element value, bool wrapped) {
  if (wrapped) {
    if (auto at = numberAt(value, "at"); at && representable(*at)) return Instant{*at};
    return std::nullopt;
  }
  element aps;
  if (value["aps"].get(aps) != simdjson::SUCCESS) return std::nullopt;
  if (auto at = numberAt(aps, "timestamp")) return arrivalAtTimestamp(*at);
  return std::nullopt;
}

DecodingError tooLarge(std::size_t bytes, CodingPath path) {
  return DecodingError{DecodingError::Kind::payloadTooLarge, std::move(path),
                       "The body is " + std::to_string(bytes) +
                           " bytes; the push service refuses bodies over " +
                           std::to_string(updates::maxEnvelopeBytes) + " bytes."};
}

DecodingError outOfRange(double at) {
  std::string written;
  json::appendNumber(written, at);
  return DecodingError{DecodingError::Kind::dataCorrupted,
                       {std::string("at")},
                       "The arrival instant " + written +
                           " lies outside what a replay can show: seconds since 1970 from 0 to " +
                           "253402300799 (the end of the year 9999).",
                       "give \"at\" in seconds since 1970"};
}

// A record as read: its input to the rules, and whether it arrives right after the record
// before it rather than at an instant of its own.
struct ReadRecord {
  updates::Record record;
  bool follows = false;
  std::vector<Warning> warnings;
  // The member the envelope sits in ("payload", "push"), which starts its warnings' paths;
  // empty when the record is the envelope itself.
  std::string_view root;
};

// The forms of a record: an envelope, {"at","payload"}, or {"channel","at","push"}.
enum class Form { envelope, wrapped, broadcast };

Form formOf(element value) {
  if (!value.is_object()) return Form::envelope;
  const auto has = [&](std::string_view key) { return value[key].error() == simdjson::SUCCESS; };
  if (has("push") || has("channel")) return Form::broadcast;
  if (has("payload") || has("at")) return Form::wrapped;
  return Form::envelope;
}

std::vector<Warning> rooted(std::vector<Warning> warnings, std::string_view root) {
  if (root.empty()) return warnings;
  for (Warning& warning : warnings) {
    warning.codingPath.insert(warning.codingPath.begin(), std::string(root));
  }
  return warnings;
}

// An explicit arrival instant, within what a replay can show.
template <class Key>
Result<Instant, DecodingError> readAt(const json::KeyedDecodingContainer<Key>& container, Key key) {
  CORVLIN_TRY(at, container.template decode<double>(key));
  if (!representable(at)) return Failure{outOfRange(at)};
  return Instant{at};
}

// An envelope held in a member of the record, measured in its compact form.
Result<updates::Envelope, DecodingError> readHeldEnvelope(element value, const PathNode* node) {
  const std::size_t size = simdjson::minify(value).size();
  if (size > updates::maxEnvelopeBytes) return Failure{tooLarge(size, json::pathOf(node))};
  return updates::decodeEnvelope(value, node);
}

Result<std::string, DecodingError> readChannel(element value, const PathNode* at) {
  CORVLIN_TRY(channel, json::ValueCoder<std::string>::read(value, at));
  if (channel.empty()) {
    return Failure{json::dataCorrupted(
        at, "The channel id is empty; a broadcast names the channel it is sent to.")};
  }
  return channel;
}

DecodingError startBroadcast(const std::string& channel) {
  const PathNode push = PathNode::member(nullptr, "push");
  const PathNode aps = PathNode::member(&push, "aps");
  const PathNode event = PathNode::member(&aps, "event");
  std::string description = "A broadcast updates or ends the activities of channel ";
  json::appendString(description, channel);
  description +=
      "; a start goes to a push-to-start token, naming the channel in \"input-push-channel\".";
  return json::dataCorrupted(&event, std::move(description));
}

// {"channel","at","push"}: one push sent to a broadcast channel, arriving at `at`. Its step
// carries the channel whenever the channel could be read.
ReadRecord readBroadcast(element value, std::size_t index) {
  auto reject = [&](DecodingError error, std::optional<std::string> channel) {
    return ReadRecord{
        updates::Rejection{index, arrivalOf(value, true), std::move(error), std::move(channel)},
        false,
        {},
        "push"};
  };
  using K = BroadcastCodingKeys;
  auto container = json::KeyedDecodingContainer<K>::make(value, nullptr);
  if (!container) return reject(std::move(container).error(), std::nullopt);
  const auto& keyed = container.value();
  auto at = readAt(keyed, K::at);
  auto channel = keyed.decode(K::channel, readChannel, json::ValueCoder<std::string>::typeName);
  std::optional<std::string> named;
  if (channel) named = channel.value();
  if (!at) return reject(std::move(at).error(), named);
  if (!channel) return reject(std::move(channel).error(), std::nullopt);
  auto envelope = keyed.decode(K::push, readHeldEnvelope);
  if (!envelope) return reject(std::move(envelope).error(), named);
  if (envelope.value().event == updates::Event::start) {
    return reject(startBroadcast(*named), named);
  }
  std::vector<Warning> warnings;
  if (element push; value["push"].get(push) == simdjson::SUCCESS) {
    warnings = rooted(envelopeWarnings(push, envelope.value()), "push");
  }
  return ReadRecord{updates::Arrival{index, at.value(), std::move(envelope).value(), named}, false,
                    std::move(warnings), "push"};
}

// One record; `bytes` is its body's size on its own line, absent when it is to be measured.
ReadRecord readRecord(element value, std::optional<std::size_t> bytes, std::size_t index) {
  const Form form = formOf(value);
  if (form == Form::broadcast) return readBroadcast(value, index);
  const bool wrapped = form == Form::wrapped;
  auto reject = [&](DecodingError error) {
    return ReadRecord{
        updates::Rejection{index, arrivalOf(value, wrapped), std::move(error)}, false, {}, {}};
  };
  if (!wrapped) {
    const std::size_t size = bytes ? *bytes : simdjson::minify(value).size();
    if (size > updates::maxEnvelopeBytes) return reject(tooLarge(size, {}));
    auto envelope = updates::decodeEnvelope(value, nullptr);
    if (!envelope) return reject(std::move(envelope).error());
    std::vector<Warning> warnings = envelopeWarnings(value, envelope.value());
    const auto at = arrivalAtTimestamp(envelope.value().timestamp);
    return ReadRecord{updates::Arrival{index, at.value_or(Instant{envelope.value().timestamp}),
                                       std::move(envelope).value()},
                      !at,
                      std::move(warnings),
                      {}};
  }
  using K = WrappedCodingKeys;
  auto container = json::KeyedDecodingContainer<K>::make(value, nullptr);
  if (!container) return reject(std::move(container).error());
  auto at = readAt(container.value(), K::at);
  if (!at) return reject(std::move(at).error());
  auto envelope = container.value().decode(K::payload, readHeldEnvelope);
  if (!envelope) return reject(std::move(envelope).error());
  std::vector<Warning> warnings;
  if (element payload; value["payload"].get(payload) == simdjson::SUCCESS) {
    warnings = rooted(envelopeWarnings(payload, envelope.value()), "payload");
  }
  return ReadRecord{updates::Arrival{index, at.value(), std::move(envelope).value()}, false,
                    std::move(warnings), "payload"};
}

// The instant of a record that has one of its own.
std::optional<Instant> ownInstant(const ReadRecord& read) {
  if (read.follows) return std::nullopt;
  if (const auto* arrival = std::get_if<updates::Arrival>(&read.record)) return arrival->at;
  return std::get<updates::Rejection>(read.record).at;
}

// A stale-date already past when the record is applied at `at`, unless its timestamp gave one.
void judgeStaleDate(ReadRecord& read, const updates::Arrival& arrival, Instant at) {
  for (const Warning& warning : read.warnings) {
    if (warning.kind == Warning::Kind::staleOnArrival) return;
  }
  if (auto warning = staleOnArrivalWarning(arrival.envelope, at)) {
    for (Warning& w : rooted({std::move(*warning)}, read.root)) read.warnings.push_back(w);
  }
}

// Records without a plausible instant of their own arrive right after the record before them;
// before the first instant of the timeline, at that instant. Each is applied at the latest
// instant reached, which judges its stale-date.
Timeline settled(std::vector<ReadRecord> read) {
  std::optional<Instant> previous;
  for (const ReadRecord& r : read) {
    previous = ownInstant(r);
    if (previous) break;
  }
  std::optional<Instant> reached;
  Timeline timeline;
  timeline.records.reserve(read.size());
  timeline.warnings.reserve(read.size());
  for (ReadRecord& r : read) {
    if (auto own = ownInstant(r)) {
      previous = own;
    } else if (auto* arrival = std::get_if<updates::Arrival>(&r.record); arrival && previous) {
      arrival->at = *previous;
    }
    if (const auto* arrival = std::get_if<updates::Arrival>(&r.record)) {
      reached = reached ? std::max(*reached, arrival->at) : arrival->at;
      judgeStaleDate(r, *arrival, *reached);
    }
    timeline.records.push_back(std::move(r.record));
    timeline.warnings.push_back(std::move(r.warnings));
  }
  return timeline;
}

DecodingError timelineError(std::string description) {
  return DecodingError{DecodingError::Kind::dataCorrupted, {}, std::move(description)};
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

Result<Timeline, DecodingError> readTimeline(std::string_view bytes) {
  std::vector<ReadRecord> records;
  simdjson::dom::parser parser;
  const auto first = bytes.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && bytes[first] == '[') {
    CORVLIN_TRY(document, json::parse(parser, bytes));
    const simdjson::dom::array list = document.get_array().value_unsafe();
    if (list.size() > maxTimelineRecords) {
      return Failure{timelineError("The timeline holds " + std::to_string(list.size()) +
                                   " records; at most " + std::to_string(maxTimelineRecords) +
                                   " are replayed.")};
    }
    for (element record : list) {
      records.push_back(readRecord(record, std::nullopt, records.size()));
    }
  } else {
    std::size_t start = 0;
    while (start < bytes.size()) {
      auto end = bytes.find('\n', start);
      if (end == std::string_view::npos) end = bytes.size();
      std::string_view line = bytes.substr(start, end - start);
      start = end + 1;
      if (blank(line)) continue;
      if (line.back() == '\r') line.remove_suffix(1);
      if (records.size() == maxTimelineRecords) {
        return Failure{timelineError("The timeline holds more than " +
                                     std::to_string(maxTimelineRecords) +
                                     " records; at most that many are replayed.")};
      }
      auto document = json::parse(parser, line);
      if (!document) {
        records.push_back(ReadRecord{
            updates::Rejection{records.size(), std::nullopt, std::move(document).error()},
            false,
            {},
            {}});
        continue;
      }
      records.push_back(readRecord(document.value(), line.size(), records.size()));
    }
  }
  if (records.empty()) return Failure{timelineError("The timeline holds no record.")};
  return settled(std::move(records));
}

}  // namespace corvlin::host
