#include "host/checks/payload_warnings.hpp"

#include <simdjson.h>

#include "host/checks/content_state_warnings.hpp"
#include "host/checks/envelope_warnings.hpp"
#include "host/checks/unknown_keys.hpp"
#include "model/coding.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

void append(std::vector<Warning>& to, std::vector<Warning> more) {
  for (auto& w : more) to.push_back(std::move(w));
}

CodingPath extended(const CodingPath& path, std::string key) {
  CodingPath out = path;
  out.emplace_back(std::move(key));
  return out;
}

std::vector<Warning> prefixed(std::vector<Warning> warnings, const CodingPath& at) {
  for (Warning& warning : warnings) {
    warning.codingPath.insert(warning.codingPath.begin(), at.begin(), at.end());
  }
  return warnings;
}

// Mirrors how decodePayload reads one activity: the wrapped form when "contentState" is there,
// else an envelope when "aps" is.
std::vector<Warning> activityWarnings(simdjson::dom::element raw, const Activity& activity,
                                      std::optional<Instant> renderAt, const CodingPath& at) {
  simdjson::dom::object object;
  if (raw.get_object().get(object) != simdjson::SUCCESS) return {};
  simdjson::dom::element state;
  if (object["contentState"].get(state) != simdjson::SUCCESS) {
    if (object["aps"].error() == simdjson::SUCCESS) {
      auto envelope = updates::decodeEnvelope(raw);
      if (!envelope) return {};
      return prefixed(envelopeWarnings(raw, envelope.value(), renderAt), at);
    }
    return contentStateWarnings(raw, activity.state, renderAt, at);
  }
  std::vector<Warning> out = unknownKeyWarnings(object, activityKeys, at, "activity");
  simdjson::dom::element attributes;
  if (object["attributes"].get(attributes) == simdjson::SUCCESS && !attributes.is_null()) {
    append(out, attributesWarnings(attributes, extended(at, "attributes")));
  }
  append(out, contentStateWarnings(state, activity.state, renderAt, extended(at, "contentState")));
  return out;
}

}  // namespace

std::vector<std::vector<Warning>> payloadWarnings(std::string_view bytes, const Payload& payload,
                                                  std::optional<Instant> renderAt) {
  std::vector<std::vector<Warning>> out(payload.entries.size());
  simdjson::dom::parser parser;
  auto document = json::parse(parser, bytes);
  if (!document) return out;
  const simdjson::dom::element root = document.value();
  simdjson::dom::array list;
  if (payload.isList && root.get_array().get(list) == simdjson::SUCCESS) {
    std::size_t index = 0;
    for (simdjson::dom::element entry : list) {
      if (index >= out.size()) break;
      if (payload.entries[index]) {
        out[index] = activityWarnings(entry, payload.entries[index].value(), renderAt, {index});
      }
      ++index;
    }
  } else if (!payload.isList && !out.empty() && payload.entries.front()) {
    out.front() = activityWarnings(root, payload.entries.front().value(), renderAt, {});
  }
  return out;
}

std::vector<Warning> attributesDocumentWarnings(std::string_view bytes) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, bytes);
  if (!document) return {};
  return attributesWarnings(document.value());
}

}  // namespace corvlin::host
