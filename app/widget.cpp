#include "app/widget.hpp"

#include "views/island_views.hpp"
#include "views/lock_screen_view.hpp"

namespace corvlin {

ui::View lockScreenPresentation(const ActivityViewContext& context, const Now& now) {
  return lockScreenBody(context.state, now)
      .with(ui::Padding{ui::allEdges, 16})
      .with(ui::ActivityBackgroundTint{ui::black.withOpacity(0.85)})
      .with(ui::ActivitySystemActionForegroundColor{ui::white})
      .with(ui::LayoutDirectionModifier{ui::LayoutDirection::rightToLeft});
}

ui::DynamicIsland dynamicIslandPresentation(const ActivityViewContext& context, const Now& now) {
  const ContentState& state = context.state;
  ui::DynamicIsland island;
  island.expanded.reserve(3);
  island.expanded.push_back({ui::ExpandedRegionPosition::leading, 0, expandedTimer(state, now)});
  island.expanded.push_back(
      {ui::ExpandedRegionPosition::trailing, 0, toneDot(state, expandedDotDiameter)});
  island.expanded.push_back({ui::ExpandedRegionPosition::bottom, 0, detailsStack(state, now)});
  island.compactLeading = toneDot(state, compactDotDiameter);
  island.compactTrailing = compactTimer(state, now);
  island.minimal = toneDot(state, compactDotDiameter);
  return island;
}

ui::Presentations presentations(const ActivityConfiguration& configuration,
                                const ActivityViewContext& context, const Now& now) {
  return {configuration.content(context, now), configuration.dynamicIsland(context, now)};
}

ActivityConfiguration CorvlinLiveActivityWidget::body() const {
  return {lockScreenPresentation, dynamicIslandPresentation};
}

}  // namespace corvlin
