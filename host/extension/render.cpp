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

ActivityOutcome readAnswer(const std::string& line) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, line);
  if (!document) return malformed("is not one line of JSON: " + document.error().description);
  simdjson::dom::element answer = document.value();
  simdjson::dom::element part;
  if (!answer["presentations"].get(part)) {
    auto presentations = ui::presentationsFromJson(part);
    if (!presentations) {
      return malformed("holds no valid view description: " + presentations.error());
    }
    return std::move(presentations).value();
  }
  if (!answer["error"].get(part)) {
    if (auto error = errorFromJson(part)) return std::move(*error);
    return malformed("holds an error in an unknown form");
  }
  return malformed("holds neither \"presentations\" nor \"error\"");
}

}  // namespace

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
