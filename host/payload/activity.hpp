// The activities a payload holds: a content state, {attributes, contentState}, a push envelope
// {"aps":{...}}, or a list of these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/error.hpp"
#include "json/result.hpp"
#include "model/records.hpp"

namespace corvlin::host {

// Each activity of a list is rendered by a process of its own; beyond this many a page would
// take minutes to appear, so a longer list is refused.
inline constexpr std::size_t maxActivitiesPerPayload = 64;

struct Activity {
  std::optional<CorvlinLiveActivityAttributes> attributes;
  ContentState state;
  // It came wrapped: an object with a "contentState" member, whatever else it holds.
  bool wrapped = false;
  // It came as a push envelope, its content state at ["aps","content-state"].
  bool envelope = false;
};

// One activity, or its decoding error. In the wrapped form the error's path starts with
// "contentState" or "attributes"; in a list, with the activity's index.
using DecodedActivity = Result<Activity, DecodingError>;

struct Payload {
  bool isList = false;                   // the payload was a JSON array of activities
  std::vector<DecodedActivity> entries;  // one per activity, in order; never empty
};

// Reads one activity: a content state, the wrapped form, or an envelope. An object with a
// "contentState" member is the wrapped form, so {"title":"x","contentState":5} fails at
// ["contentState"]; else one with an "aps" member is an envelope, which draws its content state
// (and attributes when it has them) and fails at ["aps","content-state"] without one. A content
// state that fails but has an envelope's members at its top level gets a hint saying so.
DecodedActivity decodeActivity(std::string_view bytes);

// Reads one activity or a non-empty list of them. A failure of the document itself (not JSON,
// an empty or over-long list) is the error; in a list, each activity decodes on its own, so
// one bad entry leaves the others.
Result<Payload, DecodingError> decodePayload(std::string_view bytes);

// An activity in its coded form, each record encoded once.
struct CodedActivity {
  std::optional<std::string> attributes;
  std::string contentState;
};

// Fails only for a record that JSON cannot hold; one decoded from JSON never does.
Result<CodedActivity, EncodingError> encodeActivity(const Activity& activity);

// {"attributes":...,"contentState":...}, attributes left out when absent.
std::string wrappedJson(const CodedActivity& coded);

}  // namespace corvlin::host
