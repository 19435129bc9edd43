// Broadcasts through the update rules: which activity a broadcast reaches, and that one it
// reaches takes it as it takes a push to the device.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "updates/replay.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::updates {
namespace {

constexpr double hour = 3600;

// One record: a push to the device (channel "") or a broadcast on `channel`.
struct In {
  double at;
  std::optional<Event> event;  // absent: the record did not decode
  std::string channel;
  std::string subscribes;  // the input-push-channel it names, "" none
  double timestamp = at;
};

In device(double at, Event event, std::string subscribes = "") {
  return In{at, event, "", std::move(subscribes)};
}
In broadcast(double at, Event event, std::string channel) {
  return In{at, event, std::move(channel), ""};
}

std::vector<Record> records(const std::vector<In>& ins) {
  std::vector<Record> out;
  for (std::size_t i = 0; i < ins.size(); ++i) {
    const In& in = ins[i];
    std::optional<std::string> channel;
    if (!in.channel.empty()) channel = in.channel;
    if (!in.event) {
      out.push_back(Rejection{i, Instant{in.at}, DecodingError{}, channel});
      continue;
    }
    Envelope envelope;
    envelope.timestamp = in.timestamp;
    envelope.event = *in.event;
    envelope.contentState = ContentState{};
    envelope.contentState->title = std::to_string(i);
    if (!in.subscribes.empty()) envelope.inputPushChannel = in.subscribes;
    out.push_back(Arrival{i, Instant{in.at}, envelope, channel});
  }
  return out;
}

// "60 #1 on a update ignored (not subscribed to the channel) active [0]"; time steps, which
// come from no record, without their reason.
std::vector<std::string> lines(const std::vector<Step>& steps) {
  std::vector<std::string> out;
  for (const Step& step : steps) {
    std::string line = std::to_string(static_cast<long long>(step.at.timeIntervalSince1970));
    if (step.record) line += " #" + std::to_string(*step.record);
    if (step.channel) line += " on " + *step.channel;
    if (step.event) line += " " + std::string(stepEventName(*step.event));
    line += " " + std::string(outcomeName(step.outcome));
    if (const auto* ignored = std::get_if<Ignored>(&step.outcome)) {
      line += " (" + std::string(reasonText(ignored->reason)) + ")";
    }
    line += " " + (step.state ? std::string(stateName(*step.state)) : std::string("none"));
    if (step.shown) line += " [" + step.shown->content.title + "]";
    out.push_back(std::move(line));
  }
  return out;
}

TEST(BroadcastRules, ABroadcastReachesOnlyAnActivityItsStartSubscribed) {
  struct Case {
    const char* name;
    std::vector<In> timeline;
    std::vector<std::string> steps;
  };
  const std::vector<Case> cases = {
      {"on the start's channel: taken as a device push",
       {device(0, Event::start, "a"), broadcast(60, Event::update, "a"),
        broadcast(120, Event::end, "a")},
       {"0 #0 start applied active [0]", "60 #1 on a update applied active [1]",
        "120 #2 on a end applied ended [2]", "14520 dismissal applied dismissed"}},
      {"on another channel: ignored, and nothing changes",
       {device(0, Event::start, "a"), broadcast(60, Event::update, "b"), device(120, Event::end)},
       {"0 #0 start applied active [0]",
        "60 #1 on b update ignored (not subscribed to the channel) active [0]",
        "120 #2 end applied ended [2]", "14520 dismissal applied dismissed"}},
      {"before any activity: a broadcast starts none",
       {broadcast(0, Event::update, "a"), device(60, Event::end)},
       {"0 #0 on a update ignored (not subscribed to the channel) none",
        "60 #1 end applied ended [1]", "14460 dismissal applied dismissed"}},
      {"a start without a channel subscribes to none",
       {device(0, Event::start), broadcast(60, Event::end, "a")},
       {"0 #0 start applied active [0]",
        "60 #1 on a end ignored (not subscribed to the channel) active [0]",
        "28800 systemEnd applied ended [0]", "43200 dismissal applied dismissed"}},
      {"an update the app started with does not subscribe, channel or not",
       {device(0, Event::update, "a"), broadcast(60, Event::end, "a")},
       {"0 #0 update applied active [0]",
        "60 #1 on a end ignored (not subscribed to the channel) active [0]",
        "28800 systemEnd applied ended [0]", "43200 dismissal applied dismissed"}},
      {"a broken broadcast's step carries its channel",
       {device(0, Event::start, "a"), In{30, std::nullopt, "a", ""}, device(60, Event::end)},
       {"0 #0 start applied active [0]", "30 #1 on a rejected active [0]",
        "60 #2 end applied ended [2]", "14460 dismissal applied dismissed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lines(replay(records(c.timeline))), c.steps);
  }
}

TEST(BroadcastRules, ASubscribedActivityGivesTheUsualReasonsAfterTheTimeStepsDue) {
  struct Case {
    const char* name;
    std::vector<In> timeline;
    std::vector<std::string> steps;
  };
  In older = broadcast(200, Event::update, "a");
  older.timestamp = 50;
  const std::vector<Case> cases = {
      {"older than the last update",
       {device(100, Event::start, "a"), older, device(300, Event::end)},
       {"100 #0 start applied active [0]",
        "200 #1 on a update ignored (older than the last update) active [0]",
        "300 #2 end applied ended [2]", "14700 dismissal applied dismissed"}},
      {"a second start, broadcast or not",
       {device(0, Event::start, "a"), broadcast(60, Event::start, "a"), device(120, Event::end)},
       {"0 #0 start applied active [0]",
        "60 #1 on a start ignored (the activity has already started) active [0]",
        "120 #2 end applied ended [2]", "14520 dismissal applied dismissed"}},
      {"after the system's end, then after the dismissal",
       {device(0, Event::start, "a"), broadcast(9 * hour, Event::update, "a"),
        broadcast(13 * hour, Event::update, "a")},
       {"0 #0 start applied active [0]", "28800 systemEnd applied ended [0]",
        "32400 #1 on a update ignored (the activity has ended) ended [0]",
        "43200 dismissal applied dismissed",
        "46800 #2 on a update ignored (the activity was dismissed) dismissed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lines(replay(records(c.timeline))), c.steps);
  }
}

}  // namespace
}  // namespace corvlin::updates
