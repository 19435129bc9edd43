// Rendering activities through the extension process: requests out, presentations back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/extension/activity.hpp"
#include "host/extension/extension_process.hpp"
#include "views/toolkit/view.hpp"

namespace corvlin::host {

// What became of one activity: its presentations, or why there are none.
struct RenderedActivity {
  std::optional<ui::Presentations> presentations;
  std::optional<DecodingError> decodingError;        // the payload or the extension refused it
  std::optional<ExtensionFailure> extensionFailure;  // the extension misbehaved
  std::size_t codedStateBytes = 0;                   // size of the coded content state
};

// Reads one answer line of the extension: presentations, its error, or what is wrong with it.
RenderedActivity readAnswer(const std::string& line);

// Asks the extension at `executable` for the presentations of each activity at `now`, one
// process per activity so that one failure leaves the others.
std::vector<RenderedActivity> renderActivities(const std::string& executable,
                                               const std::vector<DecodedActivity>& activities,
                                               double now, const ExtensionLimits& limits);

}  // namespace corvlin::host
