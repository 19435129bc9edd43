// Clipping: a presentation whose content is larger than the frame the phone gives it is cut
// off, which only a layout can tell. One warning per presentation cut, with the sizes.
#pragma once

#include <vector>

#include "host/checks/warning.hpp"
#include "layout/presentations.hpp"

namespace corvlin::host {

// The warnings of one laid-out activity; `path` is the activity's coding path (its index in a
// list, or empty).
std::vector<Warning> clippingWarnings(const layout::ActivityLayout& activity,
                                      const CodingPath& path);

}  // namespace corvlin::host
