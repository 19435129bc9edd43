// The replay page: a timeline of an activity's steps, a scrubber, and each step drawn.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/checks/laid_out.hpp"
#include "host/report/outcome.hpp"

namespace corvlin::host {

// One self-contained page under the live preview's rules (strict CSP, nothing from the
// payload executed), each step's views where `layouts` (beside `steps`, by index; null where
// nothing was laid out) places them. `title` names the timeline, for the page's header.
std::string renderReplayHtml(const std::vector<ReplayedStep>& steps,
                             const std::vector<std::shared_ptr<const LaidOutAnswer>>& layouts,
                             std::string_view title);

namespace html {

// The replay page's own stylesheet and script, compiled in from host/html/preview/.
std::string_view replayStylesheet();
std::string_view replayScript();

}  // namespace html
}  // namespace corvlin::host
