#include "host/extension/render.hpp"

#include <simdjson.h>

#include "model/coding.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

// Reads a DecodingError back from its {"kind","codingPath","description"} form.
std::optional<DecodingError> errorFromJson(simdjson::dom::element error) {
  std::string_view kind;
  std::string_view description;
  simdjson::dom::array path;
  if (error["kind"].get(kind) || error["description"].get(description) ||
      error["codingPath"].get(path)) {
    return std::nullopt;
  }
  DecodingError decoded{DecodingError::Kind::dataCorrupted, {}, std::string(description)};
  using K = DecodingError::Kind;
  bool known = false;
  for (K k : {K::keyNotFound, K::valueNotFound, K::typeMismatch, K::dataCorrupted}) {
    if (kindName(k) == kind) {
      decoded.kind = k;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  for (simdjson::dom::element step : path) {
    std::string_view key;
    uint64_t index = 0;
    if (!step.get(key)) {
      decoded.codingPath.emplace_back(std::string(key));
    } else if (!step.get(index)) {
      decoded.codingPath.emplace_back(static_cast<std::size_t>(index));
    } else {
      return std::nullopt;
    }
  }
  return decoded;
}

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
    if (auto error = errorFromJson(part)) {
      rendered.decodingError = std::move(*error);
    } else {
      rendered.extensionFailure = malformed("holds an error in an unknown form");
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
