#include "host/extension/activity.hpp"

#include <simdjson.h>

#include <string>

#include "model/coding.hpp"
#include "model/json/writer.hpp"

namespace corvlin::host {
namespace {

DecodingError prefixed(DecodingError error, const CodingPath& prefix) {
  error.codingPath.insert(error.codingPath.begin(), prefix.begin(), prefix.end());
  return error;
}

DecodedActivity decodeActivity(simdjson::dom::element value, const CodingPath& prefix) {
  simdjson::dom::object object;
  if (value.get_object().get(object) != simdjson::SUCCESS) {
    return Failure{DecodingError{DecodingError::Kind::typeMismatch, prefix,
                                 "Expected an activity: a content state object, or an object "
                                 "with \"contentState\" and \"attributes\"."}};
  }
  simdjson::dom::element wrapped;
  if (object["contentState"].get(wrapped) != simdjson::SUCCESS) {
    auto state = decodeContentState(value);
    if (!state) return Failure{prefixed(std::move(state).error(), prefix)};
    return Activity{std::nullopt, std::move(state).value()};
  }
  Activity activity;
  simdjson::dom::element attributes;
  if (object["attributes"].get(attributes) == simdjson::SUCCESS && !attributes.is_null()) {
    auto decoded = decodeAttributes(attributes);
    if (!decoded) {
      CodingPath path = prefix;
      path.emplace_back(std::string("attributes"));
      return Failure{prefixed(std::move(decoded).error(), path)};
    }
    activity.attributes = std::move(decoded).value();
  }
  auto state = decodeContentState(wrapped);
  if (!state) {
    CodingPath path = prefix;
    path.emplace_back(std::string("contentState"));
    return Failure{prefixed(std::move(state).error(), path)};
  }
  activity.state = std::move(state).value();
  return activity;
}

}  // namespace

Result<Payload, DecodingError> decodePayload(std::string_view bytes) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, bytes);
  if (!document) return Failure{std::move(document).error()};
  const simdjson::dom::element root = document.value();

  Payload payload;
  simdjson::dom::array list;
  if (root.get_array().get(list) == simdjson::SUCCESS) {
    payload.isList = true;
    if (list.size() > maxActivitiesPerPayload) {
      return Failure{
          DecodingError{DecodingError::Kind::dataCorrupted,
                        {},
                        "The list holds " + std::to_string(list.size()) + " activities; at most " +
                            std::to_string(maxActivitiesPerPayload) + " are rendered at once."}};
    }
    std::size_t index = 0;
    for (simdjson::dom::element entry : list) {
      payload.entries.push_back(decodeActivity(entry, {index}));
      ++index;
    }
    return payload;
  }
  if (!root.is_object()) {
    return Failure{DecodingError{DecodingError::Kind::typeMismatch,
                                 {},
                                 "Expected to decode an activity object or a list of activities "
                                 "but found another kind of value instead."}};
  }
  payload.entries.push_back(decodeActivity(root, {}));
  return payload;
}

std::string requestLine(const Activity& activity, double now) {
  std::string line = "{\"contentState\":";
  // The state was decoded from JSON, so it holds no double that JSON cannot carry.
  line += encodeContentState(activity.state).value();
  if (activity.attributes) {
    line += ",\"attributes\":";
    line += encodeAttributes(*activity.attributes).value();
  }
  line += ",\"now\":";
  json::appendNumber(line, now);
  line += '}';
  return line;
}

}  // namespace corvlin::host
