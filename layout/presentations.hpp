// The frames the phone gives each presentation, and each presentation's views laid out in them:
// the lock screen 371 (or 408) points wide and 84 to 160 tall, the expanded island with its
// three regions around the camera, the compact pieces either side of it, and the minimal circle.
// The same frames as the live page's (docs/preview.md).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "layout/layout.hpp"

namespace corvlin::layout {

inline constexpr double defaultLockScreenWidth = 371;  // 408 on the larger phone
inline constexpr double lockScreenMinHeight = 84;
inline constexpr double lockScreenMaxHeight = 160;
inline constexpr double islandWidth = 371;
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
  Size content;           // what the content needs (past `size` when the phone cuts it)
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

// One presentation of `views` laid out (the lock screen `lockScreenWidth` wide).
Presentation layoutPresentation(const ui::Presentations& views, Which which, double lockScreenWidth,
                                TextMeasurer& measurer, const Options& options);

// The four presentations of `views` laid out for a lock screen `lockScreenWidth` wide; the
// trees must outlive the result.
ActivityLayout layoutActivity(const ui::Presentations& views, double lockScreenWidth,
                              TextMeasurer& measurer, const Options& options);

}  // namespace corvlin::layout
