#include "host/replay/timeline.hpp"

#include <simdjson.h>

#include <optional>
#include <string>
#include <utility>

#include "host/checks/envelope_warnings.hpp"
#include "model/json/decoding.hpp"
#include "model/json/parse.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

using json::PathNode;
using simdjson::dom::element;

enum class WrappedCodingKeys : std::uint8_t { at, payload };

}  // namespace
}  // namespace corvlin::host

template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::WrappedCodingKeys> {
  static constexpr std::array<std::string_view, 2> values{"at", "payload"};
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

// The instant a broken record would have arrived at, when it can still be read.
std::optional<Instant> arrivalOf(element value, bool wrapped) {
  if (wrapped) {
    if (auto at = numberAt(value, "at")) return Instant{*at};
    return std::nullopt;
  }
  element aps;
  if (value["aps"].get(aps) != simdjson::SUCCESS) return std::nullopt;
  if (auto at = numberAt(aps, "timestamp")) return Instant{*at};
  return std::nullopt;
}

DecodingError tooLarge(std::size_t bytes, CodingPath path) {
  return DecodingError{DecodingError::Kind::payloadTooLarge, std::move(path),
                       "The body is " + std::to_string(bytes) +
                           " bytes; the push service refuses bodies over " +
                           std::to_string(updates::maxEnvelopeBytes) + " bytes."};
}

void prefixed(std::vector<Warning> warnings, std::size_t index, std::vector<Warning>& out) {
  for (Warning& warning : warnings) {
    warning.codingPath.insert(warning.codingPath.begin(), index);
    out.push_back(std::move(warning));
  }
}

// One record; `bytes` is its body's size on its own line, absent when it is to be measured.
void readRecord(element value, std::optional<std::size_t> bytes, Timeline& timeline) {
  const std::size_t index = timeline.records.size();
  const bool wrapped = value.is_object() && (value["payload"].error() == simdjson::SUCCESS ||
                                             value["at"].error() == simdjson::SUCCESS);
  auto reject = [&](DecodingError error) {
    timeline.records.push_back(
        updates::Rejection{index, arrivalOf(value, wrapped), std::move(error)});
  };
  if (!wrapped) {
    const std::size_t size = bytes ? *bytes : simdjson::minify(value).size();
    if (size > updates::maxEnvelopeBytes) return reject(tooLarge(size, {}));
    auto envelope = updates::decodeEnvelope(value, nullptr);
    if (!envelope) return reject(std::move(envelope).error());
    prefixed(envelopeWarnings(value, envelope.value()), index, timeline.warnings);
    const Instant at{envelope.value().timestamp};
    timeline.records.push_back(updates::Arrival{index, at, std::move(envelope).value()});
    return;
  }
  using K = WrappedCodingKeys;
  auto container = json::KeyedDecodingContainer<K>::make(value, nullptr);
  if (!container) return reject(std::move(container).error());
  auto at = container.value().decode<double>(K::at);
  if (!at) return reject(std::move(at).error());
  auto envelope = container.value().decode(
      K::payload,
      [&](element payload, const PathNode* node) -> Result<updates::Envelope, DecodingError> {
        const std::size_t size = simdjson::minify(payload).size();
        if (size > updates::maxEnvelopeBytes) return Failure{tooLarge(size, json::pathOf(node))};
        return updates::decodeEnvelope(payload, node);
      });
  if (!envelope) return reject(std::move(envelope).error());
  element payload;
  if (value["payload"].get(payload) == simdjson::SUCCESS) {
    std::vector<Warning> warnings = envelopeWarnings(payload, envelope.value());
    for (Warning& warning : warnings) {
      warning.codingPath.insert(warning.codingPath.begin(), std::string("payload"));
    }
    prefixed(std::move(warnings), index, timeline.warnings);
  }
  timeline.records.push_back(
      updates::Arrival{index, Instant{at.value()}, std::move(envelope).value()});
}

DecodingError timelineError(std::string description) {
  return DecodingError{DecodingError::Kind::dataCorrupted, {}, std::move(description)};
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

Result<Timeline, DecodingError> readTimeline(std::string_view bytes) {
  Timeline timeline;
  simdjson::dom::parser parser;
  const auto first = bytes.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && bytes[first] == '[') {
    auto document = json::parse(parser, bytes);
    if (!document) return Failure{std::move(document).error()};
    const simdjson::dom::array records = document.value().get_array().value_unsafe();
    if (records.size() > maxTimelineRecords) {
      return Failure{timelineError("The timeline holds " + std::to_string(records.size()) +
                                   " records; at most " + std::to_string(maxTimelineRecords) +
                                   " are replayed.")};
    }
    for (element record : records) readRecord(record, std::nullopt, timeline);
  } else {
    std::size_t start = 0;
    while (start < bytes.size()) {
      auto end = bytes.find('\n', start);
      if (end == std::string_view::npos) end = bytes.size();
      std::string_view line = bytes.substr(start, end - start);
      start = end + 1;
      if (blank(line)) continue;
      if (line.back() == '\r') line.remove_suffix(1);
      if (timeline.records.size() == maxTimelineRecords) {
        return Failure{timelineError("The timeline holds more than " +
                                     std::to_string(maxTimelineRecords) +
                                     " records; at most that many are replayed.")};
      }
      auto document = json::parse(parser, line);
      if (!document) {
        timeline.records.push_back(
            updates::Rejection{timeline.records.size(), std::nullopt, std::move(document).error()});
        continue;
      }
      readRecord(document.value(), line.size(), timeline);
    }
  }
  if (timeline.records.empty()) return Failure{timelineError("The timeline holds no record.")};
  return timeline;
}

}  // namespace corvlin::host
