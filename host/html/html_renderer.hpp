// The live preview page: every presentation drawn with HTML and CSS where the native layout
// places its views.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/checks/laid_out.hpp"
#include "host/html/html_element.hpp"
#include "host/report/outcome.hpp"

namespace corvlin::host {

// The layouts a page places an activity's views by, made by the caller with the host's fonts:
// of the presentations it shows, and of the extension's later answer. Null where there is
// nothing to lay out, or the fonts could not be loaded.
struct ActivityLayouts {
  std::shared_ptr<const LaidOutAnswer> shown;
  std::shared_ptr<const LaidOutAnswer> later;
};

// One self-contained page showing each activity's seven presentations (or its error in its
// place), each view where `layouts` (beside `activities`, by index) places it, with timers that
// tick by themselves from `now` and buttons that show their deep link.
std::string renderHtml(const std::vector<RenderedActivity>& activities,
                       const std::vector<ActivityLayouts>& layouts, double now);

// One activity's presentations as the layout places them, or its failure in their place.
html::Element presentationsRow(const RenderedActivity& activity, const LaidOutAnswer* laidOut);

// Each warning with its path and hint, for under the activity or step it belongs to.
html::Element warningsPanel(const std::vector<Warning>& warnings);

// The page's other parts, for pages that arrange them otherwise: one activity's section (its
// heading and its presentations row), and the panel standing in for the containing app.
html::Element activityElement(const RenderedActivity& activity, const ActivityLayouts& layouts,
                              std::size_t index, std::size_t count);
html::Element appPanelElement();

}  // namespace corvlin::host
