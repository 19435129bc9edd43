// The update rules: a sequence of records in, the steps out, read as one line per step; a
// broadcast's among them.
#include "updates/update_rules.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "updates/replay.hpp"

namespace corvlin::updates {
namespace {

constexpr double hour = 3600;

// One record of a test timeline: an envelope arriving at `at`, or a broken record.
struct In {
  std::optional<double> at;    // absent only for a broken record without an instant
  std::optional<Event> event;  // absent: the record did not decode
  double timestamp = 0;
  std::optional<double> stale = std::nullopt;
  std::optional<double> dismissal = std::nullopt;
  std::string title = "t";      // "" for an end without a content state
  std::string channel = "";     // a broadcast's; "" for a push to the device
  std::string subscribes = "";  // the input-push-channel it names, "" none
};

In rec(double at, Event event, std::optional<double> stale = std::nullopt,
       std::optional<double> dismissal = std::nullopt, std::string title = "t") {
  return In{at, event, at, stale, dismissal, std::move(title)};
}
// A record sent at `timestamp` that arrives at `at`.
In late(double at, Event event, double timestamp) { return In{at, event, timestamp}; }
In broken(std::optional<double> at) { return In{at, std::nullopt}; }
// The record sent as a broadcast on `channel`.
In on(std::string channel, In in) {
  in.channel = std::move(channel);
  return in;
}
// A start (or another event) naming `channel` in input-push-channel.
In subscribing(double at, std::string channel, Event event = Event::start) {
  In in = rec(at, event);
  in.subscribes = std::move(channel);
  return in;
}

std::vector<Record> records(const std::vector<In>& ins) {
  std::vector<Record> out;
  for (std::size_t i = 0; i < ins.size(); ++i) {
    const In& in = ins[i];
    std::optional<std::string> channel;
    if (!in.channel.empty()) channel = in.channel;
    if (!in.event) {
      std::optional<Instant> at;
      if (in.at) at = Instant{*in.at};
      out.push_back(
          Rejection{i, at, DecodingError{DecodingError::Kind::keyNotFound, {}, "x"}, channel});
      continue;
    }
    Envelope envelope;
    envelope.timestamp = in.timestamp;
    envelope.event = *in.event;
    if (!in.title.empty()) {
      envelope.contentState = ContentState{};
      envelope.contentState->title = in.title;
    }
    envelope.staleDate = in.stale;
    envelope.dismissalDate = in.dismissal;
    if (!in.subscribes.empty()) envelope.inputPushChannel = in.subscribes;
    out.push_back(Arrival{i, Instant{in.at.value_or(in.timestamp)}, envelope, channel});
  }
  return out;
}

// "120 #2 end applied ended", "14520 dismissal applied (four hours after it ended) dismissed",
// "60 #1 on a update applied active" for a broadcast on channel a.
std::string line(const Step& step) {
  std::string out = std::to_string(static_cast<long long>(step.at.timeIntervalSince1970));
  if (step.record) out += " #" + std::to_string(*step.record);
  if (step.channel) out += " on " + *step.channel;
  if (step.event) out += " " + std::string(stepEventName(*step.event));
  out += " " + std::string(outcomeName(step.outcome));
  if (const auto* applied = std::get_if<Applied>(&step.outcome); applied && applied->reason) {
    out += " (" + std::string(reasonText(*applied->reason)) + ")";
  }
  if (const auto* ignored = std::get_if<Ignored>(&step.outcome)) {
    out += " (" + std::string(reasonText(ignored->reason)) + ")";
  }
  out += " " + (step.state ? std::string(stateName(*step.state)) : std::string("none"));
  if (step.shown) out += " [" + step.shown->content.title + "]";
  return out;
}

std::vector<std::string> lines(const std::vector<Step>& steps) {
  std::vector<std::string> out;
  for (const Step& step : steps) out.push_back(line(step));
  return out;
}

struct Case {
  const char* name;
  std::vector<In> timeline;
  std::vector<std::string> steps;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lines(replay(records(c.timeline))), c.steps);
  }
}

TEST(UpdateRules, StartUpdateEndThenDismissalFourHoursLater) {
  check({
      {"delivery",
       {rec(0, Event::start, {}, {}, "a"), rec(60, Event::update, {}, {}, "b"),
        rec(120, Event::end, {}, {}, "c")},
       {"0 #0 start applied active [a]", "60 #1 update applied active [b]",
        "120 #2 end applied ended [c]",
        "14520 dismissal applied (four hours after it ended) dismissed"}},
      {"end without content keeps the last one",
       {rec(0, Event::start, {}, {}, "a"), rec(60, Event::end, {}, {}, "")},
       {"0 #0 start applied active [a]", "60 #1 end applied ended [a]",
        "14460 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, UpdateOrEndWithoutActivityIsStartedByTheApp) {
  check({
      {"update",
       {rec(100, Event::update)},
       {"100 #0 update applied (started by the app) active [t]",
        "28900 systemEnd applied (eight hours after it started) ended [t]",
        "43300 dismissal applied (four hours after it ended) dismissed"}},
      {"end",
       {rec(100, Event::end)},
       {"100 #0 end applied (started by the app) ended [t]",
        "14500 dismissal applied (four hours after it ended) dismissed"}},
      {"end without content shows nothing",
       {rec(100, Event::end, {}, {}, "")},
       {"100 #0 end applied (started by the app) ended",
        "14500 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, OlderUpdatesAreIgnoredAndEqualTimestampsApplied) {
  check({
      {"older update, arriving late",
       {rec(0, Event::start, {}, {}, "a"), rec(300, Event::update, {}, {}, "b"),
        late(400, Event::update, 200)},
       {"0 #0 start applied active [a]", "300 #1 update applied active [b]",
        "400 #2 update ignored (older than the last update) active [b]",
        "28800 systemEnd applied (eight hours after it started) ended [b]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"older end arriving at its own timestamp is taken when time has reached",
       {rec(0, Event::start), rec(300, Event::update), rec(200, Event::end)},
       {"0 #0 start applied active [t]", "300 #1 update applied active [t]",
        "300 #2 end ignored (older than the last update) active [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"equal timestamp",
       {rec(0, Event::start, {}, {}, "a"), late(10, Event::update, 0)},
       {"0 #0 start applied active [a]", "10 #1 update applied active [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"second start",
       {rec(0, Event::start, {}, {}, "a"), rec(10, Event::start, {}, {}, "b")},
       {"0 #0 start applied active [a]",
        "10 #1 start ignored (the activity has already started) active [a]",
        "28800 systemEnd applied (eight hours after it started) ended [a]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, NothingAppliesAfterTheEndOrTheDismissal) {
  check({
      {"after the end, then after the dismissal",
       {rec(0, Event::start, {}, {}, "a"), rec(10, Event::end, {}, {}, "b"),
        rec(20, Event::update, {}, {}, "c"), rec(5 * hour, Event::start, {}, {}, "d")},
       {"0 #0 start applied active [a]", "10 #1 end applied ended [b]",
        "20 #2 update ignored (the activity has ended) ended [b]",
        "14410 dismissal applied (four hours after it ended) dismissed",
        "18000 #3 start ignored (the activity was dismissed) dismissed"}},
  });
}

TEST(UpdateRules, SystemEndsTheActivityEightHoursAfterItStarted) {
  check({
      {"updates do not extend the limit",
       {rec(0, Event::start), rec(7 * hour, Event::update), rec(9 * hour, Event::update)},
       {"0 #0 start applied active [t]", "25200 #1 update applied active [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "32400 #2 update ignored (the activity has ended) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, DismissalDateMeetsTheFourHourLimit) {
  check({
      {"at the end's instant: at once",
       {rec(0, Event::start), rec(50, Event::end, {}, 50), rec(50, Event::update)},
       {"0 #0 start applied active [t]", "50 #1 end applied ended [t]",
        "50 dismissal applied (the dismissal date was not after the end) dismissed",
        "50 #2 update ignored (the activity was dismissed) dismissed"}},
      {"before the end: at once",
       {rec(0, Event::start), rec(50, Event::end, {}, 10)},
       {"0 #0 start applied active [t]", "50 #1 end applied ended [t]",
        "50 dismissal applied (the dismissal date was not after the end) dismissed"}},
      {"within four hours",
       {rec(0, Event::start), rec(50, Event::end, {}, 1050)},
       {"0 #0 start applied active [t]", "50 #1 end applied ended [t]",
        "1050 dismissal applied (the dismissal date was reached) dismissed"}},
      {"beyond four hours",
       {rec(0, Event::start), rec(50, Event::end, {}, 9 * hour)},
       {"0 #0 start applied active [t]", "50 #1 end applied ended [t]",
        "14450 dismissal applied (four hours after it ended) dismissed"}},
      {"exactly four hours: the limit is the reason, as the date changed nothing",
       {rec(0, Event::start), rec(50, Event::end, {}, 50 + 4 * hour)},
       {"0 #0 start applied active [t]", "50 #1 end applied ended [t]",
        "14450 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, StaleAtTheStaleDateUntilTheNextUpdate) {
  check({
      {"stale then refreshed, then cleared",
       {rec(0, Event::start, 100, {}, "a"), rec(200, Event::update, 300, {}, "b"),
        rec(250, Event::update, {}, {}, "c")},
       {"0 #0 start applied active [a]", "100 stale applied (the stale date was reached) stale [a]",
        "200 #1 update applied active [b]", "250 #2 update applied active [c]",
        "28800 systemEnd applied (eight hours after it started) ended [c]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"stale date already past: stale at once",
       {rec(0, Event::start), rec(200, Event::update, 150)},
       {"0 #0 start applied active [t]", "200 #1 update applied active [t]",
        "200 stale applied (the stale date was reached) stale [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"stale date exactly at the eight-hour limit: stale, then the system's end",
       {rec(0, Event::start, 8 * hour)},
       {"0 #0 start applied active [t]",
        "28800 stale applied (the stale date was reached) stale [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed"}},
      {"stale date after the limit or after the end never comes",
       {rec(0, Event::start, 9 * hour), rec(60, Event::end)},
       {"0 #0 start applied active [t]", "60 #1 end applied ended [t]",
        "14460 dismissal applied (four hours after it ended) dismissed"}},
  });
}

TEST(UpdateRules, ABroadcastReachesOnlyAnActivityItsStartSubscribed) {
  check({
      {"on the start's channel: taken as a push to the device is",
       {subscribing(0, "a"), on("a", rec(60, Event::update)), on("a", late(90, Event::update, 30)),
        on("a", rec(120, Event::end))},
       {"0 #0 start applied active [t]", "60 #1 on a update applied active [t]",
        "90 #2 on a update ignored (older than the last update) active [t]",
        "120 #3 on a end applied ended [t]",
        "14520 dismissal applied (four hours after it ended) dismissed"}},
      {"on another channel, or broken: nothing changes, and the step names its channel",
       {subscribing(0, "a"), on("b", rec(60, Event::update, {}, {}, "b")), on("a", broken(90)),
        rec(120, Event::end)},
       {"0 #0 start applied active [t]",
        "60 #1 on b update ignored (not subscribed to the channel) active [t]",
        "90 #2 on a rejected active [t]", "120 #3 end applied ended [t]",
        "14520 dismissal applied (four hours after it ended) dismissed"}},
      {"before any activity, or to one the app started naming a channel: starts or subscribes none",
       {on("a", rec(0, Event::update)), subscribing(60, "a", Event::update),
        on("a", rec(120, Event::end))},
       {"0 #0 on a update ignored (not subscribed to the channel) none",
        "60 #1 update applied (started by the app) active [t]",
        "120 #2 on a end ignored (not subscribed to the channel) active [t]",
        "28860 systemEnd applied (eight hours after it started) ended [t]",
        "43260 dismissal applied (four hours after it ended) dismissed"}},
      {"the time steps due come first: after the system's end, then after the dismissal",
       {subscribing(0, "a"), on("a", rec(9 * hour, Event::update)),
        on("a", rec(13 * hour, Event::update))},
       {"0 #0 start applied active [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]",
        "32400 #1 on a update ignored (the activity has ended) ended [t]",
        "43200 dismissal applied (four hours after it ended) dismissed",
        "46800 #2 on a update ignored (the activity was dismissed) dismissed"}},
  });
}

TEST(UpdateRules, ATransitionSaysWhereTheRecordsOwnStepIs) {
  struct OwnCase {
    In record;
    std::size_t steps;
    std::optional<std::size_t> own;
  };
  const std::vector<OwnCase> cases = {
      {rec(0, Event::start, 100), 1, 0},
      {rec(200, Event::update, 150), 3, 1},  // the stale date passed before it, and after it
      {broken(300), 1, 0},
      {broken(std::nullopt), 1, 0},
  };
  State state;
  std::vector<In> ins;
  for (const OwnCase& c : cases) ins.push_back(c.record);
  const std::vector<Record> all = records(ins);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    Transition t = step(state, std::visit([](const auto& r) { return Input{r}; }, all[i]));
    EXPECT_EQ(t.steps.size(), cases[i].steps);
    EXPECT_EQ(t.own, cases[i].own);
    if (t.own) {
      EXPECT_TRUE(t.steps[*t.own].record.has_value());
    }
    state = std::move(t.state);
  }
  EXPECT_EQ(step(state, Passage{Instant{hour}}).own, std::nullopt) << "time alone has no record";
}

TEST(UpdateRules, RejectedRecordsChangeNothing) {
  check({
      {"in the middle",
       {rec(0, Event::start, {}, {}, "a"), broken(30), rec(60, Event::end, {}, {}, "b")},
       {"0 #0 start applied active [a]", "30 #1 rejected active [a]", "60 #2 end applied ended [b]",
        "14460 dismissal applied (four hours after it ended) dismissed"}},
      {"first, without an instant: shown where the timeline begins",
       {broken(std::nullopt), rec(500, Event::start)},
       {"500 #0 rejected none", "500 #1 start applied active [t]",
        "29300 systemEnd applied (eight hours after it started) ended [t]",
        "43700 dismissal applied (four hours after it ended) dismissed"}},
      {"only broken records",
       {broken(std::nullopt), broken(7)},
       {"7 #0 rejected none", "7 #1 rejected none"}},
  });
}

TEST(UpdateRules, PassingTimeGivesTheStepsDueInOrderAndNeverRunsBack) {
  const std::vector<Record> start = records({rec(0, Event::start, 100)});
  Transition t = step(State{}, Input{std::get<Arrival>(start[0])});
  struct Pass {
    double until;
    std::vector<std::string> steps;
    double clock;
  };
  const std::vector<Pass> passes{
      {50, {}, 50},
      {30000,
       {"100 stale applied (the stale date was reached) stale [t]",
        "28800 systemEnd applied (eight hours after it started) ended [t]"},
       30000},
      {10, {}, 30000},
  };
  for (const Pass& pass : passes) {
    SCOPED_TRACE(pass.until);
    t = step(t.state, Input{Passage{Instant{pass.until}}});
    EXPECT_EQ(lines(t.steps), pass.steps);
    EXPECT_EQ(t.state.clock.timeIntervalSince1970, pass.clock);
  }
  EXPECT_EQ(
      lines(runOn(t.state).steps),
      std::vector<std::string>{"43200 dismissal applied (four hours after it ended) dismissed"});
  EXPECT_TRUE(runOn(runOn(t.state).state).steps.empty());
}

}  // namespace
}  // namespace corvlin::updates
