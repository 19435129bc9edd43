// Rendering activities through the extension process: requests out, presentations back.
#pragma once

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "host/extension/activity.hpp"
#include "host/extension/extension_process.hpp"
#include "views/toolkit/view.hpp"

namespace corvlin::host {

// What became of one activity: its presentations; the decoding error that the payload or the
// extension gave; or how the extension misbehaved.
using ActivityOutcome = std::variant<ui::Presentations, DecodingError, ExtensionFailure>;

struct RenderedActivity {
  ActivityOutcome outcome;
  std::size_t codedStateBytes = 0;  // size of the coded content state; 0 when it did not decode
};

// Reads one answer line of the extension: presentations, its error, or what is wrong with it.
ActivityOutcome readAnswer(const std::string& line);

// Asks the extension at `executable` for the presentations of each activity at `now`, one
// process per activity so that one failure leaves the others.
std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits);

}  // namespace corvlin::host
