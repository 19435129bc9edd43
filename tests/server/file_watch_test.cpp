// How the watch reads its file: within a bound, without blocking, regular files only.
#include "host/server/file_watch.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace corvlin::host::server {
namespace {

namespace fs = std::filesystem;

// "absent", "note: MESSAGE", or the bytes read.
std::string outcome(const std::variant<WatchedSave, FileAbsent, WatchNote>& read) {
  if (const auto* save = std::get_if<WatchedSave>(&read)) return save->contents;
  if (const auto* note = std::get_if<WatchNote>(&read)) return "note: " + note->message;
  return "absent";
}

TEST(FileWatch, ReadsRegularFilesOnlyWithoutBlockingAndWithinTheBound) {
  const fs::path folder =
      fs::temp_directory_path() / ("corvlin-watch-read-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "small.json") << R"({"title":"A"})";
  std::ofstream(folder / "bound.json") << std::string(16, 'x');
  fs::create_symlink(folder / "small.json", folder / "link.json");
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  // A gigabyte that takes no room: read whole, it would take a gigabyte of memory.
  const int sparse = ::open((folder / "huge.json").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(sparse, 0);
  ASSERT_EQ(::ftruncate(sparse, off_t{1} << 30), 0);
  ::close(sparse);

  struct Case {
    const char* name;
    fs::path path;
    std::string outcome;
  };
  const std::string at = folder.string() + "/";
  const std::vector<Case> cases = {
      {"a regular file", folder / "small.json", R"({"title":"A"})"},
      {"a link to a regular file is followed", folder / "link.json", R"({"title":"A"})"},
      {"exactly the bound", folder / "bound.json", std::string(16, 'x')},
      {"far over the bound: one byte past it, no more", folder / "huge.json",
       std::string(17, '\0')},
      {"no such file", folder / "missing.json", "absent"},
      {"a FIFO without a writer, which would block an open", folder / "fifo",
       "note: '" + at + "fifo' is a FIFO, not a regular file; it was not read"},
      {"an endless device", "/dev/zero",
       "note: '/dev/zero' is a character device, not a regular file; it was not read"},
      {"a folder", folder,
       "note: '" + folder.string() + "' is a folder, not a regular file; it was not read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(outcome(readWatchedFile(c.path.string(), 16)), c.outcome);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace corvlin::host::server
