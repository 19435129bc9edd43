#include "host/process/render.hpp"

#include <simdjson.h>

#include "model/coding.hpp"
#include "toolkit/view_json.hpp"

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

std::optional<double> answerChangesAt(const ContentState& state, double now) {
  const Clock clock = state.clock(Instant{now});
  const auto* running = std::get_if<Clock::Running>(&clock.value);
  if (!running || !running->countsDown) return std::nullopt;
  const Instant end = running->upper;
  if (!std::holds_alternative<Clock::Elapsed>(state.clock(end).value)) return std::nullopt;
  return end.timeIntervalSince1970;
}

std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits,
                                               bool askAgainAtChange) {
  std::vector<RenderedActivity> results;
  results.reserve(activities.size());
  for (const auto& activity : activities) {
    if (!activity) {
      results.push_back(renderedAs(activity.error()));
      continue;
    }
    // A state decoded from JSON holds no value that JSON cannot carry, so encoding succeeds.
    const CodedActivity coded = encodeActivity(activity.value()).value();
    std::vector<std::string> requests{requestLine(coded, now)};
    const auto changesAt =
        askAgainAtChange ? answerChangesAt(activity.value().state, now) : std::nullopt;
    if (changesAt) requests.push_back(requestLine(coded, *changesAt));
    auto answers = exchangeWithExtension(executable, requests, limits);
    if (!answers) {
      results.push_back(renderedAs(std::move(answers).error()));
      continue;
    }
    RenderedActivity rendered = renderedAs(readAnswer(answers.value().front()));
    if (changesAt && std::holds_alternative<ui::Presentations>(rendered.outcome)) {
      auto later = readAnswer(answers.value().back());
      if (auto* presentations = std::get_if<ui::Presentations>(&later)) {
        rendered.later = RenderedActivity::Later{*changesAt, std::move(*presentations)};
      }
    }
    results.push_back(std::move(rendered));
  }
  return results;
}

}  // namespace corvlin::host
