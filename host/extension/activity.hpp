// The activities a payload holds: a content state, {attributes, contentState}, or a list of these.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "model/json/error.hpp"
#include "model/records.hpp"
#include "model/result.hpp"

namespace corvlin::host {

// Each activity of a list is rendered by a process of its own; beyond this many a page would
// take minutes to appear, so a longer list is refused.
inline constexpr std::size_t maxActivitiesPerPayload = 64;

struct Activity {
  std::optional<CorvlinLiveActivityAttributes> attributes;
  ContentState state;
};

// One activity, or its decoding error. In the wrapped form the error's path starts with
// "contentState" or "attributes"; in a list, with the activity's index.
using DecodedActivity = Result<Activity, DecodingError>;

struct Payload {
  bool isList = false;                   // the payload was a JSON array of activities
  std::vector<DecodedActivity> entries;  // one per activity, in order
};

// Reads a payload. A failure of the document itself (not JSON, not an object or array) is the
// error; in a list, each activity decodes on its own, so one bad entry leaves the others.
Result<Payload, DecodingError> decodePayload(std::string_view bytes);

// The request line the extension expects for one activity at one instant.
std::string requestLine(const Activity& activity, double now);

}  // namespace corvlin::host
