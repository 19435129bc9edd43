// drawing::writeSnapshots on its own: which folders it makes, where each activity's pictures go,
// which kind of failure a folder that cannot be made is, and what becomes of a link or a FIFO
// standing at a name it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

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

// What already stands at a name the pictures take: an entry that holds nothing (a link, wherever
// it points, a FIFO) is replaced and never followed nor opened; a folder where a picture goes,
// or a file where a folder goes, is refused with a message that names it.
TEST(SnapshotFolder, ReplacesALinkOrAFifoOfAPicturesNameAndNeverWritesThroughIt) {
  auto opened = Fonts::open(defaultFontFiles());
  ASSERT_TRUE(opened) << opened.error();
  Fonts& fonts = *opened.value();
  const ui::Presentations views;
  const layout::ActivityLayout drawn = layout::layoutActivity(views, 371, fonts, layout::Options{});
  const fs::path scratch =
      fs::temp_directory_path() / ("corvlin-snapshot-links-" + std::to_string(::getpid()));
  fs::remove_all(scratch);
  const fs::path outside = scratch / "outside";
  fs::create_directories(outside);
  std::ofstream(outside / "victim") << "kept";

  struct Case {
    const char* name;
    bool inSubfolders;
    std::string entry;                           // under the output folder
    std::function<void(const fs::path&)> plant;  // makes what stands at the entry
    std::string refusal;                         // empty: written, the entry replaced
  };
  const auto linkTo = [](fs::path target) {
    return [target](const fs::path& at) { fs::create_symlink(target, at); };
  };
  const Case cases[] = {
      {"a link to a file elsewhere", false, "lock-screen.png", linkTo(outside / "victim"), ""},
      {"a link to where no file is", false, "island-compact.png", linkTo(outside / "created"), ""},
      {"a FIFO", false, "island-minimal.png",
       [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, ""},
      {"a list's subfolder that links elsewhere", true, "0", linkTo(outside), ""},
      {"a folder where a picture goes", false, "island-expanded.png",
       [](const fs::path& at) { fs::create_directories(at); }, "it is a folder"},
      {"a file where a list's subfolder goes", true, "0",
       [](const fs::path& at) { std::ofstream(at) << "mine"; },
       "a file of that name is in the way"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path root = scratch / "out";
    fs::remove_all(root);
    fs::create_directories(root);
    c.plant(root / c.entry);
    auto written = writeSnapshots({drawn}, c.inSubfolders, 1, fonts, root.string());
    if (c.refusal.empty()) {
      ASSERT_TRUE(written) << written.error().message;
      const fs::path pictures = c.inSubfolders ? root / "0" : root;
      EXPECT_FALSE(fs::is_symlink(pictures));
      for (const char* picture : pictureNames) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(pictures / picture))) << picture;
      }
    } else {
      ASSERT_FALSE(written);
      EXPECT_EQ(written.error().kind, SnapshotFailure::Kind::cannotCreate);
      EXPECT_NE(written.error().message.find((root / c.entry).string() + ": " + c.refusal),
                std::string::npos)
          << written.error().message;
    }
    std::ifstream victim(outside / "victim");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "kept");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outside)) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"victim"}) << "nothing was written outside";
  }
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace corvlin::host::drawing
