// The four presentations of a laid-out answer as the page shows them: each in the frame the
// phone gives it, every view at the place the native layout gave it.
#pragma once

#include "host/checks/laid_out.hpp"
#include "host/html/html_element.hpp"

namespace corvlin::host::html {

// The lock screen, the expanded, compact and minimal island, side by side. Under each, a badge
// for each of the answer's clipped and truncated warnings about it, with its numbers, and where
// something is cut off a button that shows the cut part.
Element presentationFigures(const LaidOutAnswer& answer);

}  // namespace corvlin::host::html
