// A step of the update rules written out, as JSON members and in words: the one form that a
// replay's steps and the push endpoint's steps share.
#pragma once

#include <string>
#include <vector>

#include "host/warning/warning.hpp"
#include "json/error.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::json {
class Writer;
}  // namespace corvlin::json

namespace corvlin::host {

// Which of a step's members are written.
enum class StepForm {
  timeline,  // at, record, channel (a broadcast's), event, outcome, reason, error, state,
             // warnings: a replay's step
  push,      // the same without record and channel: a push is no part of a timeline
  verdict,   // outcome, reason, phone, state, warnings: the answer to a push, its error
             // within "phone" ({"phone":{"error":{...}}}), so no top-level "error"
};

// Writes the step's members in the order above into the object being written. A member the
// step has no value for is left out, as is "warnings" (paths from the record's root) when
// there are none.
void writeStepMembers(json::Writer& writer, const updates::Step& step,
                      const std::vector<Warning>& warnings, StepForm form);

// The step as one object of those members.
std::string stepJson(const updates::Step& step, const std::vector<Warning>& warnings,
                     StepForm form);

// "started by the app", "keyNotFound at aps.event: ...": what a step says beside its event and
// outcome (its reason, or its error as errorText writes it), empty when it says nothing more.
std::string stepNote(const updates::Step& step, ErrorHint hint = ErrorHint::shown);

}  // namespace corvlin::host
