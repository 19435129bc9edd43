// The phone's side of a push: the update rules applied to one activity, and the extension that
// draws what the activity shows. Both are seams, so that the server's owner of the activities
// can be tested with stand-ins and the real rules and process plug in unchanged.
#pragma once

#include <boost/asio/io_context.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/warning/warning.hpp"
#include "host/process/extension_process.hpp"
#include "json/error.hpp"
#include "json/result.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::server {

// A step the phone took on a push: the update rules' own step, a push's or one that time alone
// caused (stale, systemEnd, dismissal), and beside it the push's warnings, paths from the
// body's root, which only the push's own step carries. Of the steps one push causes, only its
// own has a record: the others are steps of time.
struct TakenStep {
  updates::Step step;
  std::vector<Warning> warnings;

  bool ofThePush() const { return step.record.has_value(); }
};

// {"outcome","reason"|"phone":{"error"},"state","warnings"}: the body of the push's 200 answer,
// never with a top-level "status" or "error", which push clients take for the service's refusal.
std::string verdictJson(const TakenStep& taken);

// The update rules for one activity, holding its state between pushes.
class ActivityRules {
 public:
  virtual ~ActivityRules() = default;
  // Applies one push body that arrived at `now`: the time steps due by then, the push's own
  // step (with the body's warnings, judged for drawing at `now`), then the time steps that fall
  // due at once after it, in order.
  virtual std::vector<TakenStep> apply(std::string_view body, double now) = 0;
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
  // Calls `then` once the seat may be asked again: here at once; the real seat waits until a
  // frame (1/60 s) has passed since its last question, so that an activity is drawn at most as
  // often as a display shows it, whatever the rate of its pushes. `then` is called within this
  // call or later from the event loop, and never once the seat is destroyed.
  virtual void whenReady(std::function<void()> then) { then(); }
};

// Makes the rules and the extension of each new activity.
struct PhoneSide {
  std::function<std::unique_ptr<ActivityRules>()> rules;
  std::function<std::unique_ptr<ExtensionSeat>()> extension;
};

// The phone side corvlin-host serves with: the update rules, and `executable` as the extension,
// each activity's own process driven by the event loop of `io`.
PhoneSide realPhoneSide(boost::asio::io_context& io, const std::string& executable,
                        const ExtensionLimits& limits);

}  // namespace corvlin::host::server
