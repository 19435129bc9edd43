// Drawing an activity's four presentations as PNG pictures with Cairo, text with Pango.
#pragma once

#include <string>
#include <vector>

#include "host/drawing/fonts.hpp"
#include "json/result.hpp"
#include "layout/presentations.hpp"

namespace corvlin::host::drawing {

// One snapshot: its file name and the PNG's bytes.
struct Picture {
  std::string file;  // "lock-screen.png", "island-expanded.png", ...
  std::string png;
};

// One snapshot of a laid-out presentation: the card, the expanded island, the compact pill or
// the minimal circle, as `which` says.
Result<Picture, std::string> drawPresentation(const layout::Presentation& presentation,
                                              layout::Which which, double scale, Fonts& fonts);

// The four snapshots of a laid-out activity, `scale` pixels to the point. The same layout
// always gives the same bytes: the files carry no time and no text chunk.
Result<std::vector<Picture>, std::string> drawActivity(const layout::ActivityLayout& activity,
                                                       double scale, Fonts& fonts);

}  // namespace corvlin::host::drawing
