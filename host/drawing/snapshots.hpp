// PNG snapshots written to a folder: each laid-out activity's four pictures, each file replaced
// atomically, never through a link (host/files/output_folder.hpp).
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/drawing/fonts.hpp"
#include "json/result.hpp"
#include "layout/presentations.hpp"

namespace corvlin::host::drawing {

struct SnapshotFailure {
  enum class Kind { cannotCreate, cannotDraw };
  Kind kind = Kind::cannotCreate;
  std::string message;  // what could not be made or drawn, and why
};

// Writes the pictures of each activity that was laid out (an absent one is skipped) to the
// folder `root`, made if needed; with `inSubfolders`, activity N's go to its subfolder N/.
// Stops at the first failure.
Result<std::monostate, SnapshotFailure> writeSnapshots(
    const std::vector<std::optional<layout::ActivityLayout>>& activities, bool inSubfolders,
    double scale, Fonts& fonts, const std::string& root);

}  // namespace corvlin::host::drawing
