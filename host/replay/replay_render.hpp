// The presentations of every visible step of a replay, from one extension process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/checks/warning.hpp"
#include "host/extension/extension_process.hpp"
#include "host/extension/render.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host {

struct ReplayedStep {
  updates::Step step;
  // The warnings of the step's own record, paths from the record's root; none for a time step.
  std::vector<Warning> warnings;
  // The extension's answer for what is shown after the step, rendered with now = step.at;
  // absent when nothing is visible.
  std::optional<RenderedActivity> rendered;
};

// Sends the request of every visible step, one after another, to one extension process. When
// the process fails, that step shows the failure and the next step's request goes to a new one.
std::vector<ReplayedStep> renderSteps(const std::string& executable,
                                      std::vector<updates::Step> steps,
                                      const ExtensionLimits& limits);

}  // namespace corvlin::host
