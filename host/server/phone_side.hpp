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

#include "host/checks/warning.hpp"
#include "host/payload/activity.hpp"
#include "host/process/extension_process.hpp"
#include "json/error.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

enum class Outcome { applied, ignored, rejected };
std::string_view outcomeName(Outcome outcome);

// One step of the activity as the phone took it: a push's, or a change that time alone caused
// (stale, systemEnd, dismissal); as a replay shows it, with what the activity shows after it.
struct PhoneStep {
  double at = 0;
  bool ofThePush = true;  // false for a time step
  std::string event;      // "start", "update", "end", or the time step's; empty when unknown
  Outcome outcome = Outcome::applied;
  std::string reason;                  // for ignored steps, and applied ones the app started
  std::optional<DecodingError> error;  // for rejected steps
  std::string state;  // "active", "stale", "ended" or "dismissed" after the step; "" if none
  std::optional<Activity> shown;  // the content drawn after the step; absent once gone
  // The push's warnings, paths from the body's root, for the push's own step only.
  std::vector<Warning> warnings;
};

// {"at","event","outcome","reason"|"error","state","warnings"}: the step as in a replay (a push
// has no record index there: it is not part of a timeline). "warnings" is left out when empty.
std::string stepJson(const PhoneStep& step);
// {"outcome","reason"|"error","state","warnings"}: the body of the push's 200 answer.
std::string verdictJson(const PhoneStep& step);

// The update rules for one activity, holding its state between pushes.
class ActivityRules {
 public:
  virtual ~ActivityRules() = default;
  // Applies one push body that arrived at `now`: the time steps due by then, the push's own
  // step (with the body's warnings, judged for drawing at `now`), then the time steps that fall
  // due at once after it, in order.
  virtual std::vector<PhoneStep> apply(std::string_view body, double now) = 0;
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
