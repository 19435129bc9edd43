// The live preview page: every presentation drawn with HTML and CSS from the view description.
#pragma once

#include <string>
#include <vector>

#include "host/html/html_element.hpp"
#include "host/report/outcome.hpp"

namespace corvlin::host {

// One self-contained page showing each activity's seven presentations (or its error in its
// place), with timers that tick by themselves from `now` and buttons that show their deep link.
std::string renderHtml(const std::vector<RenderedActivity>& activities, double now);

// One activity's presentations drawn as the preview draws them, or its failure in their place.
html::Element presentationsRow(const RenderedActivity& activity, double now);

// Each warning with its path and hint, for under the activity or step it belongs to.
html::Element warningsPanel(const std::vector<Warning>& warnings);

// The page's other parts, for pages that arrange them otherwise: one activity's section (its
// heading and its presentations row), and the panel standing in for the containing app.
html::Element activityElement(const RenderedActivity& activity, std::size_t index,
                              std::size_t count, double now);
html::Element appPanelElement();

}  // namespace corvlin::host
