// Folders of snapshots for the tests of render --format png and compare: a scratch folder of
// the test's own, the default activity drawn into one, and a picture's bytes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host_test_support.hpp"

namespace corvlin::test {

inline constexpr const char* pinnedNow = "1767225510";
inline const char* const pictureNames[] = {"lock-screen.png", "island-expanded.png",
                                           "island-compact.png", "island-minimal.png"};

// A folder of its own under the system's temporary folder, named for the test and removed with
// it.
struct Scratch {
  std::filesystem::path root;
  Scratch() {
    root = std::filesystem::temp_directory_path() /
           ("corvlin-snapshots-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
  }
  ~Scratch() { std::filesystem::remove_all(root); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  std::string operator/(const std::string& name) const { return (root / name).string(); }
};

inline std::string bytesOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// render --format png of the default activity at pinnedNow into `dir`, with `extra` options;
// with `input`, the payload read from standard input instead.
inline HostRun snapshot(const std::string& dir, const std::vector<std::string>& extra = {},
                        const std::string& input = "") {
  // The default activity's file pins its countdown's end; without a file it moves with --now.
  std::vector<std::string> args{
      "render",   input.empty() ? samplePath("default-activity.json") : "-",
      "--now",    pinnedNow,
      "--format", "png",
      "--out",    dir};
  args.insert(args.end(), extra.begin(), extra.end());
  return runHost(args, input);
}

}  // namespace corvlin::test
