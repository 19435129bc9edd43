#include "host/process/render.hpp"

#include "protocol/answer.hpp"
#include "protocol/request.hpp"

namespace corvlin::host {
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
    std::vector<std::string> requests{
        protocol::requestLine(coded.contentState, coded.attributes, now)};
    const auto changesAt =
        askAgainAtChange ? answerChangesAt(activity.value().state, now) : std::nullopt;
    if (changesAt) {
      requests.push_back(protocol::requestLine(coded.contentState, coded.attributes, *changesAt));
    }
    auto answers = exchangeWithExtension(executable, requests, limits);
    if (!answers) {
      results.push_back(renderedAs(std::move(answers).error()));
      continue;
    }
    RenderedActivity rendered = renderedAs(protocol::readAnswer(answers.value().front()));
    if (changesAt && std::holds_alternative<ui::Presentations>(rendered.outcome)) {
      auto later = protocol::readAnswer(answers.value().back());
      if (auto* presentations = std::get_if<ui::Presentations>(&later)) {
        rendered.later = RenderedActivity::Later{*changesAt, std::move(*presentations)};
      }
    }
    results.push_back(std::move(rendered));
  }
  return results;
}

}  // namespace corvlin::host
