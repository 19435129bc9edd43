#include "extension/widget.hpp"

#include "views/island_views.hpp"
#include "views/lock_screen_view.hpp"

namespace corvlin {

ui::View lockScreenPresentation(const ActivityViewContext& context, const Now& now,
                                ui::Allocator allocator) {
  return lockScreenBody(context.state, now, allocator)
      .with(ui::Padding{ui::allEdges, 16})
      .with(ui::ActivityBackgroundTint{ui::black.withOpacity(0.85)})
      .with(ui::ActivitySystemActionForegroundColor{ui::white})
      .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});
}

ui::DynamicIsland dynamicIslandPresentation(const ActivityViewContext& context, const Now& now,
                                            ui::Allocator allocator) {
  const ContentState& state = context.state;
  std::pmr::vector<ui::ExpandedRegion> expanded(allocator);
  expanded.reserve(3);
  expanded.push_back(
      {ui::ExpandedRegionPosition::leading, 0, expandedTimer(state, now, allocator)});
  expanded.push_back(
      {ui::ExpandedRegionPosition::trailing, 0, toneDot(state, expandedDotDiameter, allocator)});
  expanded.push_back({ui::ExpandedRegionPosition::bottom, 0, detailsStack(state, now, allocator)});
  // Built in place: assigning a view would move it out of `allocator`'s memory.
  return {std::move(expanded), toneDot(state, compactDotDiameter, allocator),
          compactTimer(state, now, allocator), toneDot(state, compactDotDiameter, allocator)};
}

ui::Presentations presentations(const ActivityConfiguration& configuration,
                                const ActivityViewContext& context, const Now& now,
                                ui::Allocator allocator) {
  return {configuration.content(context, now, allocator),
          configuration.dynamicIsland(context, now, allocator)};
}

ActivityConfiguration CorvlinLiveActivityWidget::body() const {
  return {lockScreenPresentation, dynamicIslandPresentation};
}

}  // namespace corvlin
