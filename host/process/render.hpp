// Rendering activities through the extension process: requests out, presentations back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/payload/activity.hpp"
#include "host/process/extension_process.hpp"
#include "host/report/outcome.hpp"
#include "toolkit/view.hpp"

namespace corvlin::host {

// The first instant after `now` at which the answer for `state` changes in more than a running
// timer's text: the end of a countdown, after which its buttons go. Absent when there is none,
// as for a countdown held to a day from now, which is still running a day on.
std::optional<double> answerChangesAt(const ContentState& state, double now);

// Reads one answer line of the extension: presentations, its error, or what is wrong with it.
ActivityOutcome readAnswer(const std::string& line);

// Asks the extension at `executable` for the presentations of each activity at `now`, one
// process per activity so that one failure leaves the others. With `askAgainAtChange`, the same
// process is also asked for the answer at answerChangesAt, which fills `later`.
std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits,
                                               bool askAgainAtChange = false);

}  // namespace corvlin::host
