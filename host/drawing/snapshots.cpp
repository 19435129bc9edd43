#include "host/drawing/snapshots.hpp"

#include "host/drawing/draw.hpp"
#include "host/files/output_folder.hpp"

namespace corvlin::host::drawing {
Result<std::monostate, SnapshotFailure> writeSnapshots(
    const std::vector<std::optional<layout::ActivityLayout>>& activities, bool inSubfolders,
    double scale, Fonts& fonts, const std::string& root) {
  using Kind = SnapshotFailure::Kind;
  auto opened = OutputFolder::open(root);
  if (!opened) return Failure{SnapshotFailure{Kind::cannotCreate, opened.error()}};
  const OutputFolder& top = opened.value();
  for (std::size_t i = 0; i < activities.size(); ++i) {
    const auto& activity = activities[i];
    if (!activity) continue;
    std::optional<OutputFolder> sub;
    if (inSubfolders) {
      auto made = top.subfolder(std::to_string(i));
      if (!made) return Failure{SnapshotFailure{Kind::cannotCreate, made.error()}};
      sub.emplace(std::move(made).value());
    }
    const OutputFolder& folder = sub ? *sub : top;
    auto pictures = drawActivity(*activity, scale, fonts);
    if (!pictures) return Failure{SnapshotFailure{Kind::cannotDraw, pictures.error()}};
    for (const auto& picture : pictures.value()) {
      if (auto written = folder.replace(picture.file, picture.png); !written) {
        return Failure{SnapshotFailure{Kind::cannotCreate, written.error()}};
      }
    }
  }
  return std::monostate{};
}

}  // namespace corvlin::host::drawing
