// The phone's side of a push: the update rules applied to one activity, the extension that
// draws what the activity shows, where its drawings are made, and the clock that paces them.
// All are seams, so that the server's owner of the activities can be tested with stand-ins and
// the real rules, processes, worker thread and timer plug in unchanged.
#pragma once

#include <boost/asio/io_context.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/board/taken_step.hpp"
#include "host/process/extension_process.hpp"
#include "host/server/drawer.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::server {

// {"outcome","reason"|"phone":{"error"},"state","warnings"}: the body of the push's 200 answer,
// never with a top-level "status" or "error", which push clients take for the service's refusal.
std::string verdictJson(const board::TakenStep& taken);

// A broadcast's body as the phone reads it, judged once for the answer: its envelope's event
// and warnings (judged for drawing at its arrival), or the error that stops it decoding.
struct BroadcastJudgement {
  std::optional<updates::Event> event;
  std::optional<DecodingError> error;
  std::vector<Warning> warnings;
};
BroadcastJudgement judgeBroadcast(std::string_view body, double now);

// {"outcome":"delivered"|"rejected","phone":{"error"},"subscribers":N,"warnings":[...]}: the
// body of a broadcast's 200 answer, with no top-level "status" or "error" (see verdictJson).
// `serviceWarnings` go first among the warnings.
std::string broadcastVerdictJson(const BroadcastJudgement& judgement, std::size_t subscribers,
                                 const std::vector<Warning>& serviceWarnings);

// The update rules for one activity, holding its state between pushes.
class ActivityRules {
 public:
  virtual ~ActivityRules() = default;
  // Applies one push body that arrived at `now`: the time steps due by then, the push's own
  // step (with the body's warnings, judged for drawing at `now`), then the time steps that fall
  // due at once after it, in order, and where the push's own step is among them.
  virtual board::TakenSteps apply(std::string_view body, double now) = 0;
};

// The extension process that draws one activity: one request line in, one answer line out.
// It is kept warm between pushes, and started again when it has died.
class ExtensionSeat {
 public:
  using Answered = std::function<void(Result<std::string, ExtensionFailure>)>;
  virtual ~ExtensionSeat() = default;
  // `answered` is called once with the answer line or the failure: within this call, or later
  // from the event loop. One question at a time; one not yet answered when the seat is
  // destroyed is dropped.
  virtual void ask(std::string requestLine, Answered answered) = 0;
};

// The steady clock, in seconds, that paces each activity's drawings to one a frame, and a
// wake-up: `tick` is called from the event loop once the clock reaches `at`; a new wake-up
// replaces the one before.
struct FrameClock {
  std::function<double()> now;
  std::function<void(double at, std::function<void()> tick)> wakeAt;
};

// Makes the rules and the extension of each new activity; the drawer makes every drawing
// (none: one that draws within the call), and the frame clock paces them (none: nothing is
// paced).
struct PhoneSide {
  std::function<std::unique_ptr<ActivityRules>()> rules;
  std::function<std::unique_ptr<ExtensionSeat>()> extension;
  std::shared_ptr<Drawer> drawer;
  FrameClock frames;
};

// The platform's update rules for one activity, each push a record arriving at its `now`.
std::unique_ptr<ActivityRules> updateRules();

// The phone side corvlin-host serves with: the update rules, `executable` as the extension,
// each activity's own process driven by the event loop of `io`, the drawings made on a worker
// thread and posted back to that loop, and the loop's steady timer as the frame clock.
PhoneSide realPhoneSide(boost::asio::io_context& io, const std::string& executable,
                        const ExtensionLimits& limits);

}  // namespace corvlin::host::server
