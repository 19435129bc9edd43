#include "updates/replay.hpp"

#include <iterator>
#include <optional>

namespace corvlin::updates {
namespace {

std::optional<Instant> instantOf(const Record& record) {
  if (const auto* arrival = std::get_if<Arrival>(&record)) return arrival->at;
  return std::get<Rejection>(record).at;
}

void append(std::vector<Step>& steps, Transition& transition) {
  steps.insert(steps.end(), std::make_move_iterator(transition.steps.begin()),
               std::make_move_iterator(transition.steps.end()));
}

}  // namespace

std::vector<Step> replay(const std::vector<Record>& records) {
  State state;
  for (const Record& record : records) {
    if (auto at = instantOf(record)) {
      state.clock = *at;
      break;
    }
  }
  std::vector<Step> steps;
  for (const Record& record : records) {
    Transition transition =
        std::visit([&](const auto& input) { return step(state, Input{input}); }, record);
    append(steps, transition);
    state = std::move(transition.state);
  }
  Transition last = runOn(state);
  append(steps, last);
  return steps;
}

}  // namespace corvlin::updates
