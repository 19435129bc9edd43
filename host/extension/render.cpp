#include "host/extension/render.hpp"

#include <simdjson.h>

#include <variant>

#include "model/coding.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin::host {
namespace {

ExtensionFailure malformed(std::string why) {
  return {ExtensionFailure::Kind::malformedAnswer, "the extension's answer " + std::move(why)};
}

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

}  // namespace

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
      RenderedActivity failed;
      failed.decodingError = activity.error();
      results.push_back(std::move(failed));
      continue;
    }
    std::vector<std::string> requests{requestLine(activity.value(), now)};
    const auto changesAt =
        askAgainAtChange ? answerChangesAt(activity.value().state, now) : std::nullopt;
    if (changesAt) requests.push_back(requestLine(activity.value(), *changesAt));
    auto answers = exchangeWithExtension(executable, requests, limits);
    RenderedActivity rendered;
    if (!answers) {
      rendered.extensionFailure = answers.error();
    } else {
      rendered = readAnswer(answers.value().front());
      if (changesAt && rendered.presentations && answers.value().size() > 1) {
        auto later = readAnswer(answers.value()[1]);
        if (later.presentations) {
          rendered.later = RenderedActivity::Later{*changesAt, std::move(*later.presentations)};
        }
      }
    }
    rendered.codedStateBytes = encodeContentState(activity.value().state).value().size();
    results.push_back(std::move(rendered));
  }
  return results;
}

}  // namespace corvlin::host
