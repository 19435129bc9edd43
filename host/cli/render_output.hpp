// Presenting what `render` got from the extension: a text sketch, the view descriptions as
// JSON, or the live HTML page, with each failed activity shown in its place.
#pragma once

#include <string>
#include <vector>

#include "host/cli/cli.hpp"
#include "host/html/html_renderer.hpp"
#include "host/process/render.hpp"

namespace corvlin::host {

// The page places each view where `layouts` (beside `rendered`) lays it out.
std::string presentRender(const std::vector<RenderedActivity>& rendered,
                          const std::vector<ActivityLayouts>& layouts, bool isList, Format format,
                          double now);

}  // namespace corvlin::host
