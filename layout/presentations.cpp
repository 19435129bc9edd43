#include "layout/presentations.hpp"

#include <algorithm>

namespace corvlin::layout {
namespace {

// The expanded island's insets and the gap between its rows.
constexpr double expandedTop = 14;
constexpr double expandedSide = 22;
constexpr double expandedBottom = 20;
constexpr double expandedRowGap = 8;
constexpr double regionMinHeight = 37;

// `view` laid out for `proposal`, then placed in `frame` by the fractions across and down
// (0 leading or top, 0.5 centre, 1 trailing or bottom).
Region place(std::string_view name, const ui::View& view, Proposal proposal, Rect frame,
             double across, double down, TextMeasurer& measurer, const Options& options) {
  const Size size = layout::sizeThatFits(view, proposal, measurer, options);
  const Point origin{frame.x + (frame.width - size.width) * across,
                     frame.y + std::max(0.0, (frame.height - size.height) * down)};
  return {name, frame, layout::layout(view, proposal, measurer, options, origin)};
}

const ui::View* regionAt(const ui::DynamicIsland& island, ui::ExpandedRegionPosition position) {
  for (const auto& r : island.expanded) {
    if (r.position == position) return &r.content;
  }
  return nullptr;
}

Presentation lockScreen(const ui::View& view, double width, TextMeasurer& measurer,
                        const Options& options) {
  const Proposal proposal{width, std::nullopt};
  const Size content = layout::sizeThatFits(view, proposal, measurer, options);
  const double height = std::clamp(content.height, lockScreenMinHeight, lockScreenMaxHeight);
  // Centred down the card while it fits; from the top once it is cut.
  Presentation p{"lockScreen", {width, height}, content, {}};
  p.regions.push_back(
      place("lockScreen", view, proposal, {0, 0, width, height}, 0.5, 0.5, measurer, options));
  return p;
}

Presentation expanded(const ui::DynamicIsland& island, TextMeasurer& measurer,
                      const Options& options) {
  using Position = ui::ExpandedRegionPosition;
  const double inner = islandWidth - 2 * expandedSide;
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
  double row = regionMinHeight;
  for (const auto& t : tops) {
    if (const ui::View* v = regionAt(island, t.position)) {
      row = std::max(row,
                     layout::sizeThatFits(*v, {t.width, std::nullopt}, measurer, options).height);
    }
  }
  const ui::View* bottom = regionAt(island, Position::bottom);
  const double bottomHeight =
      bottom ? layout::sizeThatFits(*bottom, {inner, std::nullopt}, measurer, options).height : 0;
  const double needed = expandedTop + row + expandedRowGap + bottomHeight + expandedBottom;
  Presentation p{"expanded",
                 {islandWidth, std::clamp(needed, islandMinHeight, islandMaxHeight)},
                 {islandWidth, needed},
                 {}};
  for (const auto& t : tops) {
    if (const ui::View* v = regionAt(island, t.position)) {
      p.regions.push_back(place(t.name, *v, {t.width, std::nullopt},
                                {t.x, expandedTop, t.width, row}, t.across, 0.5, measurer,
                                options));
    }
  }
  if (bottom) {
    p.regions.push_back(
        place("expanded bottom", *bottom, {inner, std::nullopt},
              {expandedSide, expandedTop + row + expandedRowGap, inner, bottomHeight}, 0.5, 0,
              measurer, options));
  }
  return p;
}

Presentation compact(const ui::DynamicIsland& island, TextMeasurer& measurer,
                     const Options& options) {
  const double pill = 2 * compactPieceWidth + cameraWidth;
  Presentation p{"compact", {pill, compactHeight}, {pill, compactHeight}, {}};
  const Proposal piece{compactPieceWidth, compactHeight};
  p.regions.push_back(place("compactLeading", island.compactLeading, piece,
                            {0, 0, compactPieceWidth, compactHeight}, 0.5, 0.5, measurer, options));
  p.regions.push_back(place("compactTrailing", island.compactTrailing, piece,
                            {pill - compactPieceWidth, 0, compactPieceWidth, compactHeight}, 0.5,
                            0.5, measurer, options));
  return p;
}

Presentation minimal(const ui::DynamicIsland& island, TextMeasurer& measurer,
                     const Options& options) {
  Presentation p{
      "minimal", {minimalDiameter, minimalDiameter}, {minimalDiameter, minimalDiameter}, {}};
  p.regions.push_back(place("minimal", island.minimal, {minimalDiameter, minimalDiameter},
                            {0, 0, minimalDiameter, minimalDiameter}, 0.5, 0.5, measurer, options));
  return p;
}

}  // namespace

Presentation layoutPresentation(const ui::Presentations& views, Which which, double lockScreenWidth,
                                TextMeasurer& measurer, const Options& options) {
  switch (which) {
    case Which::lockScreen:
      return lockScreen(views.lockScreen, lockScreenWidth, measurer, options);
    case Which::expanded:
      return expanded(views.dynamicIsland, measurer, options);
    case Which::compact:
      return compact(views.dynamicIsland, measurer, options);
    case Which::minimal:
      return minimal(views.dynamicIsland, measurer, options);
  }
  return {};
}

ActivityLayout layoutActivity(const ui::Presentations& views, double lockScreenWidth,
                              TextMeasurer& measurer, const Options& options) {
  return {layoutPresentation(views, Which::lockScreen, lockScreenWidth, measurer, options),
          layoutPresentation(views, Which::expanded, lockScreenWidth, measurer, options),
          layoutPresentation(views, Which::compact, lockScreenWidth, measurer, options),
          layoutPresentation(views, Which::minimal, lockScreenWidth, measurer, options)};
}

}  // namespace corvlin::layout
