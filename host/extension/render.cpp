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

RenderedActivity readAnswer(const std::string& line) {
  RenderedActivity rendered;
  simdjson::dom::parser parser;
  auto document = json::parse(parser, line);
  if (!document) {
    rendered.extensionFailure =
        malformed("is not one line of JSON: " + document.error().description);
    return rendered;
  }
  simdjson::dom::element answer = document.value();
  simdjson::dom::element part;
  if (!answer["presentations"].get(part)) {
    auto presentations = ui::presentationsFromJson(part);
    if (!presentations) {
      rendered.extensionFailure =
          malformed("holds no valid view description: " + presentations.error());
    } else {
      rendered.presentations = std::move(presentations).value();
    }
  } else if (!answer["error"].get(part)) {
    auto error = decodeErrorObject(part);
    if (error) {
      rendered.decodingError = std::move(error).value();
    } else {
      rendered.extensionFailure =
          malformed("holds an error in an unknown form: " + errorJson(error.error()));
    }
  } else {
    rendered.extensionFailure = malformed("holds neither \"presentations\" nor \"error\"");
  }
  return rendered;
}

std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits) {
  std::vector<RenderedActivity> results;
  results.reserve(activities.size());
  for (const auto& activity : activities) {
    if (!activity) {
      RenderedActivity failed;
      failed.decodingError = activity.error();
      results.push_back(std::move(failed));
      continue;
    }
    const std::string request = requestLine(activity.value(), now);
    auto answers = exchangeWithExtension(executable, {request}, limits);
    RenderedActivity rendered;
    if (!answers) {
      rendered.extensionFailure = answers.error();
    } else {
      rendered = readAnswer(answers.value().front());
    }
    rendered.codedStateBytes = encodeContentState(activity.value().state).value().size();
    results.push_back(std::move(rendered));
  }
  return results;
}

}  // namespace corvlin::host
