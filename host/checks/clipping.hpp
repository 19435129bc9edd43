// The layout's warnings: a presentation whose content is larger than the frame the phone gives
// it is cut off (clipped), a text given fewer lines than it needs ends in "…" (truncated), and a
// character no font draws shows as a box (missingGlyph); only a layout can tell. One clipped
// warning per presentation cut, with the sizes.
#pragma once

#include <vector>

#include "host/checks/warning.hpp"
#include "layout/presentations.hpp"
#include "model/records.hpp"

namespace corvlin::host {

// The clipped warnings of one laid-out activity: what still overflows a presentation's frame
// after every text gave up the lines it could. `path` is the activity's coding path (its index
// in a list, or empty).
std::vector<Warning> clippingWarnings(const layout::ActivityLayout& activity,
                                      const CodingPath& path);

// Every layout warning of one laid-out activity: its clipped warnings, then its truncated and
// missingGlyph ones (text_warnings.hpp), whose paths name the field of `state` shown, from
// `statePath` (the content state's path from the root of its document).
std::vector<Warning> layoutWarnings(const layout::ActivityLayout& activity,
                                    const ContentState* state, const CodingPath& path,
                                    const CodingPath& statePath);

// The layout warnings of one answer laid out with `measurer` for the instant `now` (the clipped
// warnings' paths empty), its lock screen and expanded island `lockScreenWidth` wide.
std::vector<Warning> layoutWarningsAt(const ui::Presentations& views, const ContentState* state,
                                      double now, double lockScreenWidth,
                                      layout::TextMeasurer& measurer,
                                      const CodingPath& statePath = {});

}  // namespace corvlin::host
