#include "layout/presentations.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvlin::layout {
namespace {

// The expanded island's insets and the gap between its rows.
constexpr double expandedTop = 14;
constexpr double expandedSide = 22;
constexpr double expandedBottom = 20;
constexpr double expandedRowGap = 8;
constexpr double regionMinHeight = 37;

constexpr double infinity = std::numeric_limits<double>::infinity();

// `view` laid out for `proposal`, then placed in `frame` by the fractions across and down
// (0 leading or top, 0.5 centre, 1 trailing or bottom).
Region place(std::string_view name, const ui::View& view, Proposal proposal, Rect frame,
             double across, double down, TextMeasurer& measurer, const Options& options) {
  const Size size = layout::sizeThatFits(view, proposal, measurer, options);
  const Point origin{frame.x + (frame.width - size.width) * across,
                     frame.y + std::max(0.0, (frame.height - size.height) * down)};
  return {name, frame, layout::layout(view, proposal, measurer, options, origin)};
}

// What the presentation's views draw, from its top left: past its size where the phone cuts.
Size contentOf(const std::vector<Region>& regions) {
  Size content;
  for (const auto& region : regions) {
    const Rect box = bounds(region.content);
    content.width = std::max(content.width, box.right());
    content.height = std::max(content.height, box.bottom());
  }
  return content;
}

const ui::View* regionAt(const ui::DynamicIsland& island, ui::ExpandedRegionPosition position) {
  for (const auto& r : island.expanded) {
    if (r.position == position) return &r.content;
  }
  return nullptr;
}

Presentation lockScreen(const ui::View& view, double width, TextMeasurer& measurer,
                        const Options& options) {
  // The phone proposes its width and at most its tallest card; texts give up lines to fit.
  const Proposal proposal{width, lockScreenMaxHeight};
  const Size size = layout::sizeThatFits(view, proposal, measurer, options);
  const double height = std::clamp(size.height, lockScreenMinHeight, lockScreenMaxHeight);
  // Centred down the card while it fits; from the top once it is cut.
  Presentation p{"lockScreen", {width, height}, {}, {}};
  p.regions.push_back(
      place("lockScreen", view, proposal, {0, 0, width, height}, 0.5, 0.5, measurer, options));
  p.content = contentOf(p.regions);
  return p;
}

// The expanded island as a column of its top row and its bottom region: the height left inside
// its insets is offered as a stack offers it, the less flexible of the two first, each its ideal
// when both ideals fit.
struct RowPlan {
  double top = 0;     // the height proposed to the top row's regions
  double bottom = 0;  // and to the bottom region
};

template <class TopRow, class Bottom>
RowPlan planRows(double available, bool hasBottom, TopRow topRow, Bottom bottomRow) {
  if (!hasBottom) return {available, 0};
  const double topFlex = topRow(infinity) - topRow(0);
  const double bottomFlex = bottomRow(infinity) - bottomRow(0);
  const double topIdeal = topRow(std::nullopt);
  const double bottomIdeal = bottomRow(std::nullopt);
  const bool idealsFit = topIdeal + bottomIdeal <= available;
  RowPlan plan;
  double remaining = available;
  auto offer = [&](double share, double ideal) {
    return idealsFit ? std::max(share, ideal) : share;
  };
  if (topFlex <= bottomFlex) {
    plan.top = offer(remaining / 2, topIdeal);
    remaining = std::max(0.0, remaining - topRow(plan.top));
    plan.bottom = offer(remaining, bottomIdeal);
  } else {
    plan.bottom = offer(remaining / 2, bottomIdeal);
    remaining = std::max(0.0, remaining - bottomRow(plan.bottom));
    plan.top = offer(remaining, topIdeal);
  }
  return plan;
}

Presentation expanded(const ui::DynamicIsland& island, double width, TextMeasurer& measurer,
                      const Options& options) {
  using Position = ui::ExpandedRegionPosition;
  const double inner = width - 2 * expandedSide;
  const double side = (inner - cameraWidth) / 2;
  struct Top {
    Position position;
    std::string_view name;
    double x;
    double width;
    double across;
  };
  const Top tops[] = {
      {Position::leading, "expanded leading", expandedSide, side, 0},
      {Position::center, "expanded center", expandedSide + side, cameraWidth, 0.5},
      {Position::trailing, "expanded trailing", expandedSide + side + cameraWidth, side, 1}};
  const ui::View* bottom = regionAt(island, Position::bottom);
  // The top row is at least 37 tall, its regions side by side; the bottom region under it.
  auto topRow = [&](std::optional<double> height) {
    double row = regionMinHeight;
    for (const auto& t : tops) {
      if (const ui::View* v = regionAt(island, t.position)) {
        row = std::max(row, layout::sizeThatFits(*v, {t.width, height}, measurer, options).height);
      }
    }
    return row;
  };
  auto bottomRow = [&](std::optional<double> height) {
    return bottom ? layout::sizeThatFits(*bottom, {inner, height}, measurer, options).height : 0.0;
  };
  const double available = islandMaxHeight - expandedTop - expandedRowGap - expandedBottom;
  const RowPlan plan = planRows(available, bottom != nullptr, topRow, bottomRow);
  const double row = topRow(plan.top);
  const double bottomHeight = bottomRow(plan.bottom);
  const double needed = expandedTop + row + expandedRowGap + bottomHeight + expandedBottom;
  Presentation p{"expanded", {width, std::clamp(needed, islandMinHeight, islandMaxHeight)}, {}, {}};
  for (const auto& t : tops) {
    if (const ui::View* v = regionAt(island, t.position)) {
      p.regions.push_back(place(t.name, *v, {t.width, plan.top}, {t.x, expandedTop, t.width, row},
                                t.across, 0.5, measurer, options));
    }
  }
  if (bottom) {
    p.regions.push_back(
        place("expanded bottom", *bottom, {inner, plan.bottom},
              {expandedSide, expandedTop + row + expandedRowGap, inner, bottomHeight}, 0.5, 0,
              measurer, options));
  }
  p.content = contentOf(p.regions);
  return p;
}

Presentation compact(const ui::DynamicIsland& island, TextMeasurer& measurer,
                     const Options& options) {
  const double pill = 2 * compactPieceWidth + cameraWidth;
  Presentation p{"compact", {pill, compactHeight}, {}, {}};
  const Proposal piece{compactPieceWidth, compactHeight};
  p.regions.push_back(place("compactLeading", island.compactLeading, piece,
                            {0, 0, compactPieceWidth, compactHeight}, 0.5, 0.5, measurer, options));
  p.regions.push_back(place("compactTrailing", island.compactTrailing, piece,
                            {pill - compactPieceWidth, 0, compactPieceWidth, compactHeight}, 0.5,
                            0.5, measurer, options));
  p.content = contentOf(p.regions);
  return p;
}

Presentation minimal(const ui::DynamicIsland& island, TextMeasurer& measurer,
                     const Options& options) {
  Presentation p{"minimal", {minimalDiameter, minimalDiameter}, {}, {}};
  p.regions.push_back(place("minimal", island.minimal, {minimalDiameter, minimalDiameter},
                            {0, 0, minimalDiameter, minimalDiameter}, 0.5, 0.5, measurer, options));
  p.content = contentOf(p.regions);
  return p;
}

void extend(const Node& node, Rect& box, bool& any) {
  const Rect& f = node.frame;
  if (f.width > 0 || f.height > 0) {
    if (!any) {
      box = f;
      any = true;
    } else {
      const double right = std::max(box.right(), f.right());
      const double bottom = std::max(box.bottom(), f.bottom());
      box.x = std::min(box.x, f.x);
      box.y = std::min(box.y, f.y);
      box.width = right - box.x;
      box.height = bottom - box.y;
    }
  }
  for (const auto& child : node.children) extend(child, box, any);
}

}  // namespace

Rect bounds(const Node& node) {
  Rect box = node.frame;
  bool any = false;
  extend(node, box, any);
  return box;
}

Presentation layoutPresentation(const ui::Presentations& views, Which which, double lockScreenWidth,
                                TextMeasurer& measurer, const Options& options) {
  CachedMeasurer cached(measurer);
  switch (which) {
    case Which::lockScreen:
      return lockScreen(views.lockScreen, lockScreenWidth, cached, options);
    case Which::expanded:
      return expanded(views.dynamicIsland, lockScreenWidth, cached, options);
    case Which::compact:
      return compact(views.dynamicIsland, cached, options);
    case Which::minimal:
      return minimal(views.dynamicIsland, cached, options);
  }
  return {};
}

ActivityLayout layoutActivity(const ui::Presentations& views, double lockScreenWidth,
                              TextMeasurer& measurer, const Options& options) {
  // One cache for the whole activity: its texts stand in several presentations.
  CachedMeasurer cached(measurer);
  return {layoutPresentation(views, Which::lockScreen, lockScreenWidth, cached, options),
          layoutPresentation(views, Which::expanded, lockScreenWidth, cached, options),
          layoutPresentation(views, Which::compact, lockScreenWidth, cached, options),
          layoutPresentation(views, Which::minimal, lockScreenWidth, cached, options)};
}

}  // namespace corvlin::layout
