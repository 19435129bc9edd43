// Deciding what `render` concludes from what became of its activities: the exit status, whether
// the presentations are written, and what standard error says.
#pragma once

#include <string>
#include <vector>

#include "host/process/render.hpp"

namespace corvlin::host {

struct RenderVerdict {
  int status = 0;
  // A single activity that failed has nothing to show; a list shows each failure in its place.
  bool writesOutput = true;
  std::vector<std::string> diagnostics;  // lines for standard error, in the activities' order
};

// Each activity's warnings are one JSON line each; with `strict`, any warning fails (65) unless
// a failure already decides the status. Without it, warnings never change the status.
RenderVerdict decideRender(const std::vector<RenderedActivity>& rendered, bool isList,
                           bool strict = false);

}  // namespace corvlin::host
