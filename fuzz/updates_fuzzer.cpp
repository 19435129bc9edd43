// Random sequences of records and passing time through the update rules: states only move
// forward (a refresh from stale to active aside), nothing applies after the dismissal, time never
// runs back and time steps come out in order of instant, a rejected record changes nothing,
// a broadcast is taken only by an activity subscribed to its channel, and running on always ends
// in the dismissal of an activity that exists.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "updates/update_rules.hpp"

namespace {

using corvlin::fuzz::require;
using namespace corvlin;
using namespace corvlin::updates;

// Instants near one another, so that ties, stale dates and both limits are all reached.
double instant(FuzzedDataProvider& data) {
  const double base = 1767225600;
  switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return base + data.ConsumeIntegralInRange<int>(-10, 10);
    case 1:
      return base + 60.0 * data.ConsumeIntegralInRange<int>(-30, 900);
    case 2:
      return base + 3600.0 * data.ConsumeIntegralInRange<int>(0, 14);
    default:
      return data.ConsumeFloatingPointInRange<double>(-1e12, 1e13);
  }
}

// One of two channels, or none.
std::optional<std::string> maybeChannel(FuzzedDataProvider& data) {
  const int channel = data.ConsumeIntegralInRange<int>(0, 2);
  if (channel == 0) return std::nullopt;
  return std::string(channel == 1 ? "a" : "b");
}

std::optional<double> maybeInstant(FuzzedDataProvider& data) {
  if (data.ConsumeBool()) return std::nullopt;
  return instant(data);
}

Input nextInput(FuzzedDataProvider& data, std::size_t index) {
  switch (data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return Passage{Instant{instant(data)}};
    case 1: {
      std::optional<Instant> at;
      if (data.ConsumeBool()) at = Instant{instant(data)};
      return Rejection{index, at, DecodingError{}};
    }
    default: {
      Envelope envelope;
      envelope.event = static_cast<Event>(data.ConsumeIntegralInRange<int>(0, 2));
      envelope.timestamp = instant(data);
      if (data.ConsumeIntegralInRange<int>(0, 4) != 0) {
        envelope.contentState = ContentState{};
        envelope.contentState->title = std::to_string(index);
      }
      envelope.staleDate = maybeInstant(data);
      envelope.dismissalDate = maybeInstant(data);
      envelope.inputPushChannel = maybeChannel(data);
      const double at = data.ConsumeBool() ? envelope.timestamp : instant(data);
      return Arrival{index, Instant{at}, envelope, maybeChannel(data)};
    }
  }
}

int rank(std::optional<ActivityState> state) {
  if (!state) return -1;
  switch (*state) {
    case ActivityState::active:
    case ActivityState::stale:
      return 0;
    case ActivityState::ended:
      return 1;
    case ActivityState::dismissed:
      return 2;
  }
  return 0;
}

struct Checker {
  std::optional<ActivityState> state;
  double at = -1e300;

  void see(const Step& step) {
    require(rank(step.state) >= rank(state), "states only move forward");
    const bool dismissed = state == ActivityState::dismissed;
    require(!(dismissed && std::holds_alternative<Applied>(step.outcome)),
            "nothing applies after the dismissal");
    require(step.at.timeIntervalSince1970 >= at, "steps come out in order of instant");
    if (std::holds_alternative<Rejected>(step.outcome)) {
      require(step.state == state, "a rejected record changes nothing");
    }
    if (!step.record) {
      require(step.event && std::holds_alternative<Applied>(step.outcome) &&
                  std::get<Applied>(step.outcome).reason,
              "a time step is applied, with its reason");
    }
    require(!(step.state == ActivityState::dismissed && step.shown),
            "nothing shown once dismissed");
    state = step.state;
    at = step.at.timeIntervalSince1970;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  State state;
  state.clock = Instant{1767225600};
  Checker checker;
  std::size_t records = 0;
  while (data.remaining_bytes() > 0 && records < 64) {
    const Input input = nextInput(data, records);
    const bool isRecord = !std::holds_alternative<Passage>(input);
    Transition transition = step(state, input);
    std::size_t ownSteps = 0;
    for (const Step& s : transition.steps) {
      checker.see(s);
      if (s.record) ++ownSteps;
    }
    if (const auto* arrival = std::get_if<Arrival>(&input); arrival && arrival->channel) {
      const Step& own = transition.steps.at(transition.own.value());
      const bool subscribed = state.activity && state.activity->channel == arrival->channel;
      require(own.channel == arrival->channel, "a broadcast's step carries its channel");
      require(subscribed || std::holds_alternative<Ignored>(own.outcome),
              "a broadcast is taken only by an activity subscribed to its channel");
    }
    require(ownSteps == (isRecord ? 1u : 0u), "one step per record, none for passing time");
    require(transition.own.has_value() == isRecord &&
                (!transition.own || transition.steps.at(*transition.own).record.has_value()),
            "the transition says where a record's own step is");
    require(transition.state.clock >= state.clock, "the clock never runs back");
    state = std::move(transition.state);
    if (isRecord) ++records;
  }
  Transition last = runOn(state);
  for (const Step& s : last.steps) checker.see(s);
  require(!last.state.activity || last.state.activity->state() == ActivityState::dismissed,
          "running on ends in the dismissal");
  return 0;
}
