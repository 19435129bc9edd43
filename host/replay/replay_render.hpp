// The presentations of every visible step of a replay, from one extension process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/extension/extension_process.hpp"
#include "host/extension/render.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host {

struct ReplayedStep {
  updates::Step step;
  // The extension's answer for what is shown after the step, rendered with now = step.at;
  // absent when nothing is visible.
  std::optional<RenderedActivity> rendered;
};

// Sends the request of every visible step to one extension process. When the process fails,
// the steps it answered keep their answers; the rest go to a new process, split so that the
// step it failed on is found and shows the failure, and every other step still renders.
std::vector<ReplayedStep> renderSteps(const std::string& executable,
                                      std::vector<updates::Step> steps,
                                      const ExtensionLimits& limits);

}  // namespace corvlin::host
