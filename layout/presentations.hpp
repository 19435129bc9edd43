// The frames the phone gives each presentation, and each presentation's views laid out in them
// under the size the phone proposes: the lock screen 371 (or 408) points wide and at most 160
// tall, the expanded island as wide with its three regions around the camera and one below, the
// compact pieces 37 tall either side of it, and the minimal circle 37 across. Texts that get
// fewer lines than they need end in "…"; what still does not fit is cut at the edge.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "layout/layout.hpp"

namespace corvlin::layout {

inline constexpr double defaultLockScreenWidth = 371;  // 408 on the larger phone
inline constexpr double lockScreenMinHeight = 84;
inline constexpr double lockScreenMaxHeight = 160;
inline constexpr double islandWidth = 371;  // as wide as the lock screen: 408 on the larger phone
inline constexpr double islandMinHeight = 84;
inline constexpr double islandMaxHeight = 160;
inline constexpr double compactHeight = 37;
inline constexpr double compactPieceWidth = 52;
inline constexpr double cameraWidth = 126;
inline constexpr double minimalDiameter = 37;

// The room the phone gives one view, and the view laid out in it.
struct Region {
  std::string_view name;  // "lockScreen", "expanded leading", "compactTrailing", ...
  Rect frame;             // in the presentation's picture
  Node content;           // placed in `frame` (and past it where it does not fit)
};

// One picture: the lock screen, the expanded island, the compact island or the minimal one.
struct Presentation {
  std::string_view name;  // "lockScreen", "expanded", "compact", "minimal"
  Size size;              // the picture's, in points
  Size content;           // to the right and bottom edges of what its views draw (past `size`
                          // when the phone cuts it)
  std::vector<Region> regions;
};

struct ActivityLayout {
  Presentation lockScreen;
  Presentation expanded;
  Presentation compact;
  Presentation minimal;
};

// The four presentations, in the order of ActivityLayout.
inline constexpr std::size_t presentationCount = 4;
enum class Which { lockScreen, expanded, compact, minimal };

// The box around every layer of the tree that has a size: what is drawn, past the frames that
// let their content overflow.
Rect bounds(const Node& node);

// One presentation of `views` laid out (the lock screen and the expanded island
// `lockScreenWidth` wide).
Presentation layoutPresentation(const ui::Presentations& views, Which which, double lockScreenWidth,
                                TextMeasurer& measurer, const Options& options);

// The four presentations of `views` laid out for a lock screen and an expanded island
// `lockScreenWidth` wide, each text measured once per width and lines; the trees must outlive
// the result.
ActivityLayout layoutActivity(const ui::Presentations& views, double lockScreenWidth,
                              TextMeasurer& measurer, const Options& options);

}  // namespace corvlin::layout
