// The platform's update rules as a pure state machine: records and the passing of time in,
// the activity's state and one step per change out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "json/error.hpp"
#include "model/instant.hpp"
#include "model/records.hpp"
#include "updates/envelope.hpp"

namespace corvlin::updates {

// The system ends an activity that has not ended this long after it started.
inline constexpr double activeLimitSeconds = 8 * 3600.0;
// An ended activity stays on the lock screen at most this long.
inline constexpr double endedLimitSeconds = 4 * 3600.0;

// Only ever forward, except that an update refreshes a stale activity to active.
enum class ActivityState { active, stale, ended, dismissed };

// A record's event, or the change that time alone caused.
enum class StepEvent { start, update, end, stale, systemEnd, dismissal };

enum class Reason {
  startedByTheApp,       // an update or end with no activity yet
  olderThanLastUpdate,   // timestamp before the last applied one
  activityHasEnded,      // anything after the end
  activityWasDismissed,  // anything after the dismissal
  alreadyStarted,        // a start while the activity runs
  notSubscribed,         // a broadcast to a channel the activity did not subscribe to
  staleDateReached,      // time step: stale
  activeLimitReached,    // time step: systemEnd
  endedLimitReached,     // time step: dismissal four hours after the end
  dismissalDateReached,  // time step: dismissal at the end's dismissal date
  dismissedAtOnce,       // time step: dismissal date at or before the end
};

std::string_view stateName(ActivityState state);
std::string_view stepEventName(StepEvent event);
std::string_view reasonText(Reason reason);

// The phases of an activity's life.
struct Running {
  std::optional<Instant> staleDate;  // of the last applied update
  bool stale = false;
};
struct Ended {
  Instant dismissAt;
  Reason dismissal = Reason::endedLimitReached;
};
struct Dismissed {};

// An activity that exists: started by a record, not necessarily still shown.
struct Activity {
  Instant startedAt;
  double lastTimestamp = 0;             // of the last applied record
  std::optional<ContentState> content;  // absent only for an end with none, at the start
  std::optional<CorvlinLiveActivityAttributes> attributes;  // absent when the app started it
  std::optional<std::string> channel;  // the broadcast channel its start subscribed it to
  std::variant<Running, Ended, Dismissed> phase;

  ActivityState state() const;
};

struct State {
  Instant clock;                     // the latest instant reached; time never runs back
  std::optional<Activity> activity;  // absent until a record starts one
};

// A record that decoded, arriving at `at`: a push to the device, or a broadcast on `channel`,
// taken only by an activity subscribed to that channel.
struct Arrival {
  std::size_t record = 0;
  Instant at;
  Envelope envelope;
  std::optional<std::string> channel = std::nullopt;
};

// A record that did not decode; `at` when its arrival instant could still be read, `channel`
// when it is a broadcast whose channel could.
struct Rejection {
  std::size_t record = 0;
  std::optional<Instant> at;
  DecodingError error;
  std::optional<std::string> channel = std::nullopt;
};

// Time passing to `until`, with nothing arriving.
struct Passage {
  Instant until;
};

using Input = std::variant<Arrival, Rejection, Passage>;

struct Applied {
  std::optional<Reason> reason;  // "started by the app", or what caused a time step
  friend bool operator==(const Applied&, const Applied&) = default;
};
struct Ignored {
  Reason reason;
  friend bool operator==(const Ignored&, const Ignored&) = default;
};
struct Rejected {
  DecodingError error;
  friend bool operator==(const Rejected&, const Rejected&) = default;
};
using Outcome = std::variant<Applied, Ignored, Rejected>;

std::string_view outcomeName(const Outcome& outcome);

// What the phone shows after a step.
struct Shown {
  std::optional<CorvlinLiveActivityAttributes> attributes;
  ContentState content;
};

struct Step {
  Instant at;
  std::optional<std::size_t> record;  // absent for a time step
  std::optional<StepEvent> event;     // absent for a rejected record
  Outcome outcome;
  std::optional<ActivityState> state;  // after the step; absent while no activity exists
  std::optional<Shown> shown;          // absent when nothing is visible
  std::optional<std::string> channel = std::nullopt;  // a broadcast record's channel
};

struct Transition {
  State state;
  std::vector<Step> steps;  // the time steps due up to the input's instant, then its own
  // Where in `steps` the input's own step is: a record always has one; a passage has none.
  std::optional<std::size_t> own;
};

// One input. A record is taken at the later of its instant and the clock, after the time
// steps due by then; time steps that fall due at once (a dismissal date before the end, a
// stale date already past) follow it. Time steps come out in order of instant.
Transition step(const State& state, const Input& input);

// Lets time pass until nothing more can happen: the activity is dismissed, or never existed.
Transition runOn(const State& state);

}  // namespace corvlin::updates
