// The phone's side of a push: the update rules applied to one activity, and the extension that
// draws what the activity shows. Both are seams, so that the server's owner of the activities
// can be tested with stand-ins and the real rules and process plug in unchanged.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/extension/activity.hpp"
#include "host/extension/extension_process.hpp"
#include "model/coding_error.hpp"
#include "model/result.hpp"

namespace corvlin::host::server {

enum class Outcome { applied, ignored, rejected };
std::string_view outcomeName(Outcome outcome);

// One push as the phone took it: the step as a replay shows it, and what the activity shows
// after it.
struct PhoneStep {
  double at = 0;
  std::string event;  // "start", "update", "end"; empty when the body did not say
  Outcome outcome = Outcome::applied;
  std::string reason;                  // for ignored steps, and applied ones the app started
  std::optional<DecodingError> error;  // for rejected steps
  std::string state;                   // "active", "stale", "ended" or "dismissed", after the step
  std::optional<Activity> shown;       // the content drawn after the step; absent once gone
};

// {"at","event","outcome","reason"|"error","state"}: the step as in a replay.
std::string stepJson(const PhoneStep& step);
// {"outcome","reason"|"error","state"}: the body of the push's 200 answer.
std::string verdictJson(const PhoneStep& step);

// The update rules for one activity, holding its state between pushes.
class ActivityRules {
 public:
  virtual ~ActivityRules() = default;
  // Applies one push body that arrived at `now`.
  virtual PhoneStep apply(std::string_view body, double now) = 0;
};

// The extension process that draws one activity: one request line in, one answer line out.
// It is kept warm between pushes, and started again when it has died.
class ExtensionSeat {
 public:
  virtual ~ExtensionSeat() = default;
  virtual Result<std::string, ExtensionFailure> ask(const std::string& requestLine) = 0;
};

// Makes the rules and the extension of each new activity.
struct PhoneSide {
  std::function<std::unique_ptr<ActivityRules>()> rules;
  std::function<std::unique_ptr<ExtensionSeat>()> extension;
};

// The phone side corvlin-host serves with: the update rules, and `executable` as the extension.
PhoneSide realPhoneSide(const std::string& executable, const ExtensionLimits& limits);

}  // namespace corvlin::host::server
