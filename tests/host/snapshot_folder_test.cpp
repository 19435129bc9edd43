// drawing::writeSnapshots on its own: which folders it makes, where each activity's pictures go,
// and which kind of failure a folder that cannot be made is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/drawing/snapshots.hpp"
#include "layout/layout.hpp"

namespace corvlin::host::drawing {
namespace {

namespace fs = std::filesystem;

const char* const pictureNames[] = {"lock-screen.png", "island-expanded.png", "island-compact.png",
                                    "island-minimal.png"};

TEST(SnapshotFolder, MakesTheFoldersAndPutsEachActivityWhereItsIndexSays) {
  auto opened = Fonts::open(defaultFontFiles());
  ASSERT_TRUE(opened) << opened.error();
  Fonts& fonts = *opened.value();
  const ui::Presentations views;  // the layout points into it
  const layout::ActivityLayout drawn = layoutActivity(views, 371, fonts, layout::Options{});
  const fs::path scratch =
      fs::temp_directory_path() / ("corvlin-snapshot-folder-" + std::to_string(::getpid()));
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  std::ofstream(scratch / "plain-file") << "x";

  struct Case {
    const char* name;
    std::vector<std::optional<layout::ActivityLayout>> activities;
    bool inSubfolders;
    std::string root;                       // under the scratch folder
    std::vector<std::string> withPictures;  // folders under it that hold the four pictures
    std::vector<std::string> absent;        // paths under it that must not exist
  };
  const Case cases[] = {
      {"one activity into a folder made with those above it", {drawn}, false, "a/b", {""}, {"0"}},
      {"a list: each drawn activity in its subfolder, none for one not drawn",
       {std::nullopt, drawn},
       true,
       "list",
       {"1"},
       {"0", "lock-screen.png"}},
      {"nothing drawn still makes the folder", {std::nullopt}, false, "empty", {}, {"0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path root = scratch / c.root;
    auto written = writeSnapshots(c.activities, c.inSubfolders, 1, fonts, root.string());
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_TRUE(fs::is_directory(root));
    for (const auto& folder : c.withPictures) {
      for (const char* picture : pictureNames) {
        EXPECT_GT(fs::file_size(root / folder / picture), 0u) << folder << "/" << picture;
      }
    }
    for (const auto& path : c.absent) EXPECT_FALSE(fs::exists(root / path)) << path;
  }

  // A folder under a regular file cannot be made, before anything is drawn.
  const std::string blocked = (scratch / "plain-file" / "out").string();
  auto failed = writeSnapshots({drawn}, false, 1, fonts, blocked);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind, SnapshotFailure::Kind::cannotCreate);
  EXPECT_NE(failed.error().message.find(blocked), std::string::npos) << failed.error().message;
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace corvlin::host::drawing
