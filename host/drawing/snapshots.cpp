#include "host/drawing/snapshots.hpp"

#include <filesystem>

#include "host/drawing/draw.hpp"
#include "host/files/output.hpp"

namespace corvlin::host::drawing {
namespace {

// Makes the folder, and those above it, unless it is one already; the message says why not.
std::optional<std::string> makeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!error && std::filesystem::is_directory(path, error)) return std::nullopt;
  return "cannot create the folder " + path + ": " +
         (error ? error.message() : std::string("it is not a folder"));
}

}  // namespace

Result<std::monostate, SnapshotFailure> writeSnapshots(
    const std::vector<std::optional<layout::ActivityLayout>>& activities, bool inSubfolders,
    double scale, Fonts& fonts, const std::string& root) {
  using Kind = SnapshotFailure::Kind;
  if (auto failed = makeFolder(root)) return Failure{SnapshotFailure{Kind::cannotCreate, *failed}};
  for (std::size_t i = 0; i < activities.size(); ++i) {
    const auto& activity = activities[i];
    if (!activity) continue;
    std::string folder = root;
    if (inSubfolders) {
      folder += "/" + std::to_string(i);
      if (auto failed = makeFolder(folder)) {
        return Failure{SnapshotFailure{Kind::cannotCreate, *failed}};
      }
    }
    auto pictures = drawActivity(*activity, scale, fonts);
    if (!pictures) return Failure{SnapshotFailure{Kind::cannotDraw, pictures.error()}};
    for (const auto& picture : pictures.value()) {
      if (auto written = replaceFile(folder + "/" + picture.file, picture.png); !written) {
        return Failure{SnapshotFailure{Kind::cannotCreate, written.error()}};
      }
    }
  }
  return std::monostate{};
}

}  // namespace corvlin::host::drawing
