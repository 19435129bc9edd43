// The presentations of every visible step of a replay, from one extension process.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/process/extension_process.hpp"
#include "host/process/render.hpp"
#include "host/report/outcome.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host {

// After this many failures in a row, the extension is given up on: each failure may have
// taken the whole timeout, and a replay holds up to a thousand steps.
inline constexpr std::size_t maxFailuresInARow = 3;

// Sends the request of every visible step, one after another, to one extension process. When
// the process fails, that step shows the failure and the next step's request goes to a new one;
// after maxFailuresInARow failures in a row, no more is asked, and every visible step after them
// shows a failure of the last failure's kind that says so.
std::vector<ReplayedStep> renderSteps(const std::string& executable,
                                      std::vector<updates::Step> steps,
                                      const ExtensionLimits& limits);

}  // namespace corvlin::host
