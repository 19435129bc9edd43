#include "host/payload/activity.hpp"

#include <simdjson.h>

#include <string>

#include "json/near_key.hpp"
#include "json/try.hpp"
#include "model/coding.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

DecodingError prefixed(DecodingError error, const CodingPath& prefix, const char* key = nullptr) {
  CodingPath path = prefix;
  if (key) path.emplace_back(std::string(key));
  error.codingPath.insert(error.codingPath.begin(), path.begin(), path.end());
  return error;
}

bool has(simdjson::dom::element value, std::string_view key) {
  return value.is_object() && value[key].error() == simdjson::SUCCESS;
}

// A push envelope's members at the top level, where a content state was expected: the "aps"
// wrapper was probably forgotten.
bool looksLikeBareAps(simdjson::dom::element value) {
  return has(value, "content-state") || has(value, "event") || has(value, "timestamp");
}

// An envelope draws its content state, and its attributes when it carries them.
DecodedActivity envelopeActivity(simdjson::dom::element value, const CodingPath& prefix) {
  auto envelope = updates::decodeEnvelope(value);
  if (!envelope) return Failure{prefixed(std::move(envelope).error(), prefix)};
  if (!envelope.value().contentState) {
    constexpr std::string_view key = "content-state";
    std::string hint =
        "an \"end\" may leave it out, and the activity keeps what it showed; give "
        "\"content-state\" to see the end's presentations";
    simdjson::dom::object aps;
    if (value["aps"].get_object().get(aps) == simdjson::SUCCESS) {
      const auto& known = json::CodingKeyStrings<updates::ApsCodingKeys>::values;
      if (auto found = json::misspeltMember(aps, key, known)) {
        hint = json::misspeltKeyHint(*found, key);
      }
    }
    return Failure{prefixed(DecodingError{DecodingError::Kind::keyNotFound,
                                          {std::string("aps"), std::string(key)},
                                          "The envelope has no \"content-state\", so there is "
                                          "nothing to draw.",
                                          std::move(hint)},
                            prefix)};
  }
  return Activity{std::move(envelope.value().attributes), std::move(*envelope.value().contentState),
                  false, true};
}

// The one rule for both commands: an object with a "contentState" member is the wrapped form,
// one with an "aps" member a push envelope; anything else is read as a content state, which
// names what is wrong with it.
DecodedActivity decodeActivity(simdjson::dom::element value, const CodingPath& prefix) {
  if (has(value, "aps") && !has(value, "contentState")) return envelopeActivity(value, prefix);
  simdjson::dom::element wrapped;
  if (!value.is_object() || value["contentState"].get(wrapped) != simdjson::SUCCESS) {
    auto state = decodeContentState(value);
    if (!state) {
      DecodingError error = prefixed(std::move(state).error(), prefix);
      if (looksLikeBareAps(value)) {
        error.hint =
            "this looks like a push envelope without its \"aps\" wrapper: send "
            "{\"aps\":{\"event\":...,\"timestamp\":...,\"content-state\":{...}}}";
      }
      return Failure{std::move(error)};
    }
    return Activity{std::nullopt, std::move(state).value(), false};
  }
  Activity activity;
  activity.wrapped = true;
  simdjson::dom::element attributes;
  if (value["attributes"].get(attributes) == simdjson::SUCCESS && !attributes.is_null()) {
    auto decoded = decodeAttributes(attributes);
    if (!decoded) return Failure{prefixed(std::move(decoded).error(), prefix, "attributes")};
    activity.attributes = std::move(decoded).value();
  }
  auto state = decodeContentState(wrapped);
  if (!state) return Failure{prefixed(std::move(state).error(), prefix, "contentState")};
  activity.state = std::move(state).value();
  return activity;
}

DecodingError documentError(std::string description) {
  return DecodingError{DecodingError::Kind::dataCorrupted, {}, std::move(description)};
}

}  // namespace

DecodedActivity decodeActivity(std::string_view bytes) {
  simdjson::dom::parser parser;
  CORVLIN_TRY(document, json::parse(parser, bytes));
  return decodeActivity(document, {});
}

Result<Payload, DecodingError> decodePayload(std::string_view bytes) {
  simdjson::dom::parser parser;
  CORVLIN_TRY(document, json::parse(parser, bytes));
  const simdjson::dom::element root = document;

  Payload payload;
  simdjson::dom::array list;
  if (root.get_array().get(list) != simdjson::SUCCESS) {
    payload.entries.push_back(decodeActivity(root, {}));
    return payload;
  }
  payload.isList = true;
  if (list.size() == 0) return Failure{documentError("The list holds no activity.")};
  if (list.size() > maxActivitiesPerPayload) {
    return Failure{documentError("The list holds " + std::to_string(list.size()) +
                                 " activities; at most " + std::to_string(maxActivitiesPerPayload) +
                                 " are rendered at once.")};
  }
  std::size_t index = 0;
  for (simdjson::dom::element entry : list) {
    payload.entries.push_back(decodeActivity(entry, {index}));
    ++index;
  }
  return payload;
}

Result<CodedActivity, EncodingError> encodeActivity(const Activity& activity) {
  // The path names the member of the wrapped form that failed, as decoding does.
  auto within = [&](EncodingError error, const char* key) {
    if (activity.wrapped) error.codingPath.insert(error.codingPath.begin(), std::string(key));
    return error;
  };
  CodedActivity coded;
  if (activity.attributes) {
    auto attributes = encodeAttributes(*activity.attributes);
    if (!attributes) return Failure{within(std::move(attributes).error(), "attributes")};
    coded.attributes = std::move(attributes).value();
  }
  auto state = encodeContentState(activity.state);
  if (!state) return Failure{within(std::move(state).error(), "contentState")};
  coded.contentState = std::move(state).value();
  return coded;
}

std::string wrappedJson(const CodedActivity& coded) {
  std::string out = "{";
  if (coded.attributes) out += "\"attributes\":" + *coded.attributes + ",";
  return out + "\"contentState\":" + coded.contentState + "}";
}

}  // namespace corvlin::host
