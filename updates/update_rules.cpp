#include "updates/update_rules.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "json/names.hpp"
#include "model/overloaded.hpp"

template <>
struct corvlin::json::EnumNames<corvlin::updates::ActivityState> {
  static constexpr std::array<std::string_view, 4> values{"active", "stale", "ended", "dismissed"};
};
template <>
struct corvlin::json::EnumNames<corvlin::updates::StepEvent> {
  static constexpr std::array<std::string_view, 6> values{"start", "update",    "end",
                                                          "stale", "systemEnd", "dismissal"};
};
// The reasons as the step says them: plain words, not identifiers.
template <>
struct corvlin::json::EnumNames<corvlin::updates::Reason> {
  static constexpr std::array<std::string_view, 11> values{
      "started by the app",
      "older than the last update",
      "the activity has ended",
      "the activity was dismissed",
      "the activity has already started",
      "not subscribed to the channel",
      "the stale date was reached",
      "eight hours after it started",
      "four hours after it ended",
      "the dismissal date was reached",
      "the dismissal date was not after the end"};
};

namespace corvlin::updates {

static_assert(json::namesEvery(ActivityState::dismissed));
static_assert(json::namesEvery(StepEvent::dismissal));
static_assert(json::namesEvery(Reason::dismissedAtOnce));

namespace {

// A change that time alone will cause, and when.
struct Due {
  Instant at;
  StepEvent event;
};

std::optional<Due> nextDue(const State& state) {
  if (!state.activity) return std::nullopt;
  const Activity& activity = *state.activity;
  if (const auto* running = std::get_if<Running>(&activity.phase)) {
    const Instant limit = activity.startedAt.addingTimeInterval(activeLimitSeconds);
    // At the same instant the stale step comes first: it was the earlier cause.
    if (running->staleDate && !running->stale && *running->staleDate <= limit) {
      return Due{*running->staleDate, StepEvent::stale};
    }
    return Due{limit, StepEvent::systemEnd};
  }
  if (const auto* ended = std::get_if<Ended>(&activity.phase)) {
    return Due{ended->dismissAt, StepEvent::dismissal};
  }
  return std::nullopt;
}

std::optional<Shown> shown(const State& state) {
  if (!state.activity || !state.activity->content) return std::nullopt;
  if (std::holds_alternative<Dismissed>(state.activity->phase)) return std::nullopt;
  return Shown{state.activity->attributes, *state.activity->content};
}

Step makeStep(const State& state, std::optional<std::size_t> record, std::optional<StepEvent> event,
              Outcome outcome) {
  std::optional<ActivityState> after;
  if (state.activity) after = state.activity->state();
  return Step{state.clock, record, event, std::move(outcome), after, shown(state)};
}

Ended ending(Instant at, std::optional<double> dismissalDate) {
  const Instant limit = at.addingTimeInterval(endedLimitSeconds);
  if (!dismissalDate) return {limit, Reason::endedLimitReached};
  const Instant date{*dismissalDate};
  if (date <= at) return {at, Reason::dismissedAtOnce};
  if (date < limit) return {date, Reason::dismissalDateReached};
  return {limit, Reason::endedLimitReached};
}

// Fires every time step due at or before `until`, then moves the clock there.
void passTime(State& state, Instant until, std::vector<Step>& steps) {
  while (auto due = nextDue(state)) {
    if (due->at > until) break;
    state.clock = std::max(state.clock, due->at);
    Activity& activity = *state.activity;
    Reason reason = Reason::staleDateReached;
    switch (due->event) {
      case StepEvent::stale:
        std::get<Running>(activity.phase).stale = true;
        break;
      case StepEvent::systemEnd:
        reason = Reason::activeLimitReached;
        activity.phase =
            Ended{state.clock.addingTimeInterval(endedLimitSeconds), Reason::endedLimitReached};
        break;
      case StepEvent::dismissal:
        reason = std::get<Ended>(activity.phase).dismissal;
        activity.phase = Dismissed{};
        break;
      case StepEvent::start:
      case StepEvent::update:
      case StepEvent::end:
        // Records are not due by time; nextDue never names them.
        break;
    }
    steps.push_back(makeStep(state, std::nullopt, due->event, Applied{reason}));
  }
  state.clock = std::max(state.clock, until);
}

StepEvent recordEvent(Event event) {
  switch (event) {
    case Event::start:
      return StepEvent::start;
    case Event::end:
      return StepEvent::end;
    case Event::update:
      break;
  }
  return StepEvent::update;
}

std::optional<Instant> staleDateOf(const Envelope& envelope) {
  if (!envelope.staleDate) return std::nullopt;
  return Instant{*envelope.staleDate};
}

// Applies a record at the clock's instant; the outcome says whether it took.
Outcome apply(State& state, const Envelope& envelope) {
  if (!state.activity) {
    Activity started;
    started.startedAt = state.clock;
    started.lastTimestamp = envelope.timestamp;
    started.content = envelope.contentState;
    started.attributes = envelope.attributes;
    if (envelope.event == Event::start) started.channel = envelope.inputPushChannel;
    started.phase = Running{staleDateOf(envelope), false};
    if (envelope.event == Event::end) {
      started.phase = ending(state.clock, envelope.dismissalDate);
    }
    state.activity = std::move(started);
    if (envelope.event == Event::start) return Applied{};
    return Applied{Reason::startedByTheApp};
  }
  Activity& activity = *state.activity;
  if (std::holds_alternative<Dismissed>(activity.phase)) {
    return Ignored{Reason::activityWasDismissed};
  }
  if (std::holds_alternative<Ended>(activity.phase)) {
    return Ignored{Reason::activityHasEnded};
  }
  if (envelope.event == Event::start) return Ignored{Reason::alreadyStarted};
  if (envelope.timestamp < activity.lastTimestamp) return Ignored{Reason::olderThanLastUpdate};

  activity.lastTimestamp = envelope.timestamp;
  if (envelope.contentState) activity.content = envelope.contentState;
  if (envelope.event == Event::end) {
    activity.phase = ending(state.clock, envelope.dismissalDate);
  } else {
    activity.phase = Running{staleDateOf(envelope), false};
  }
  return Applied{};
}

}  // namespace

ActivityState Activity::state() const {
  return std::visit(Overloaded{
                        [](const Running& running) {
                          return running.stale ? ActivityState::stale : ActivityState::active;
                        },
                        [](const Ended&) { return ActivityState::ended; },
                        [](const Dismissed&) { return ActivityState::dismissed; },
                    },
                    phase);
}

Transition step(const State& before, const Input& input) {
  Transition out{before, {}, std::nullopt};
  State& state = out.state;
  std::visit(
      Overloaded{
          [&](const Arrival& arrival) {
            passTime(state, arrival.at, out.steps);
            // A broadcast reaches only an activity that subscribed to its channel.
            const bool reached =
                !arrival.channel || (state.activity && state.activity->channel == arrival.channel);
            Outcome outcome =
                reached ? apply(state, arrival.envelope) : Outcome{Ignored{Reason::notSubscribed}};
            out.own = out.steps.size();
            out.steps.push_back(makeStep(state, arrival.record, recordEvent(arrival.envelope.event),
                                         std::move(outcome)));
            out.steps.back().channel = arrival.channel;
            passTime(state, state.clock, out.steps);
          },
          [&](const Rejection& rejection) {
            if (rejection.at) passTime(state, *rejection.at, out.steps);
            out.own = out.steps.size();
            out.steps.push_back(
                makeStep(state, rejection.record, std::nullopt, Rejected{rejection.error}));
            out.steps.back().channel = rejection.channel;
          },
          [&](const Passage& passage) { passTime(state, passage.until, out.steps); },
      },
      input);
  return out;
}

Transition runOn(const State& before) {
  Transition out{before, {}, std::nullopt};
  while (auto due = nextDue(out.state)) passTime(out.state, due->at, out.steps);
  return out;
}

std::string_view stateName(ActivityState state) { return json::nameOf(state, "active"); }

std::string_view stepEventName(StepEvent event) { return json::nameOf(event, "update"); }

std::string_view reasonText(Reason reason) { return json::nameOf(reason); }

std::string_view outcomeName(const Outcome& outcome) {
  return std::visit(Overloaded{
                        [](const Applied&) { return std::string_view("applied"); },
                        [](const Ignored&) { return std::string_view("ignored"); },
                        [](const Rejected&) { return std::string_view("rejected"); },
                    },
                    outcome);
}

}  // namespace corvlin::updates
