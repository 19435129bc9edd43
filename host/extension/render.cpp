#include "host/extension/render.hpp"

#include <simdjson.h>

#include "model/coding.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

ExtensionFailure malformed(std::string why) {
  return {ExtensionFailure::Kind::malformedAnswer, "the extension's answer " + std::move(why)};
}

}  // namespace

ActivityOutcome readAnswer(const std::string& line) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, line);
  if (!document) return malformed("is not one line of JSON: " + document.error().description);
  simdjson::dom::element answer = document.value();
  simdjson::dom::element part;
  if (!answer["presentations"].get(part)) {
    auto presentations = ui::presentationsFromJson(part);
    if (!presentations) {
      return malformed("holds no valid view description: " + errorJson(presentations.error()));
    }
    return std::move(presentations).value();
  }
  if (!answer["error"].get(part)) {
    auto error = decodeErrorObject(part);
    if (error) return std::move(error).value();
    return malformed("holds an error in an unknown form: " + errorJson(error.error()));
  }
  return malformed("holds neither \"presentations\" nor \"error\"");
}

std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits) {
  std::vector<RenderedActivity> results;
  results.reserve(activities.size());
  for (const auto& activity : activities) {
    if (!activity) {
      results.push_back({activity.error(), 0});
      continue;
    }
    // Encoded once: for the request, and for the budget check. A state decoded from JSON
    // holds no value that JSON cannot carry, so encoding succeeds.
    const CodedActivity coded = encodeActivity(activity.value()).value();
    auto answers = exchangeWithExtension(executable, {requestLine(coded, now)}, limits);
    ActivityOutcome outcome =
        answers ? readAnswer(answers.value().front()) : ActivityOutcome(std::move(answers).error());
    results.push_back({std::move(outcome), coded.contentState.size()});
  }
  return results;
}

}  // namespace corvlin::host
