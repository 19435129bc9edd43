// Where corvlin-host's output goes: every failed write to standard output is exit 73 with one
// line saying so, and --out replaces its file whole or leaves it as it was; a link, a folder, a
// FIFO nobody reads is refused, a device and a FIFO being read are written in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/host_test_support.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* pinnedNow = "1767225510";

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh, empty folder for one test.
fs::path scratchFolder(const std::string& name) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("corvlin-output-" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(HostOutput, AFailedWriteToStandardOutputIsExit73ForEveryCommand) {
  struct Target {
    Stdout out;
    const char* reason;
  };
  const Target targets[] = {
      {Stdout::full, "No space left on device"},
      {Stdout::closed, "Bad file descriptor"},
      {Stdout::brokenPipe, "Broken pipe"},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"render", "--now", pinnedNow},
      {"render", "--now", pinnedNow, "--format", "json"},
      {"render", "--now", pinnedNow, "--format", "html", "--out", "-"},
      {"decode"},
      {"decode", "--attributes"},
      {"--help"},
  };
  for (const auto& target : targets) {
    for (const auto& command : commands) {
      SCOPED_TRACE(target.reason + (" for " + command[0] + " " + command.back()));
      HostSetup setup;
      setup.out = target.out;
      const HostRun run = runHost(command, setup);
      EXPECT_EQ(run.status, 73);
      // The built-in sample's warning may come first; the failure is the one line after it.
      const std::string line =
          std::string("corvlin-host: cannot write standard output: ") + target.reason + "\n";
      ASSERT_GE(run.err.size(), line.size()) << run.err;
      EXPECT_EQ(run.err.substr(run.err.size() - line.size()), line);
      EXPECT_EQ(run.err.find("cannot write"), run.err.rfind("cannot write")) << run.err;
    }
  }
}

TEST(HostOutput, OutWritesTheFileOrStandardOutput) {
  const fs::path folder = scratchFolder("written");
  const fs::path path = folder / "page.json";
  const std::vector<std::string> render = {"render", "--now", pinnedNow, "--format", "json"};

  auto toFile = render;
  toFile.insert(toFile.end(), {"--out", path.string()});
  const HostRun file = runHost(toFile);
  ASSERT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(file.out, "");
  EXPECT_EQ(file.err, "corvlin-host: wrote " + path.string() + "\n");
  const std::string page = slurp(path);
  EXPECT_EQ(page.rfind("{\"presentations\":{\"lockScreen\":", 0), 0u);
  EXPECT_EQ(entries(folder), std::vector<std::string>{"page.json"}) << "no temporary file is left";

  // Standard output closed but unused is no failure, and no file opened later takes its place.
  HostSetup closed;
  closed.out = Stdout::closed;
  const HostRun unused = runHost(toFile, closed);
  ASSERT_EQ(unused.status, 0) << unused.err;
  EXPECT_EQ(unused.err, "corvlin-host: wrote " + path.string() + "\n");
  EXPECT_EQ(slurp(path), page);

  auto toStdout = render;
  toStdout.insert(toStdout.end(), {"--out", "-"});
  const HostRun dash = runHost(toStdout);
  ASSERT_EQ(dash.status, 0) << dash.err;
  EXPECT_EQ(dash.out, page);
  EXPECT_EQ(dash.err, "");
}

TEST(HostOutput, OutKeepsTheOldFileWhenTheNewOneCannotBeWrittenWhole) {
  const fs::path folder = scratchFolder("kept");
  const fs::path path = folder / "preview.html";
  const std::string good = "a good page\n";
  std::ofstream(path, std::ios::binary) << good;
  ::chmod(path.c_str(), 0640);

  // The page is far larger than the file-size limit, so the write fails part-way.
  HostSetup setup;
  setup.fileSizeLimit = 4096;
  const HostRun run =
      runHost({"render", "--now", pinnedNow, "--format", "html", "--out", path.string()}, setup);
  EXPECT_EQ(run.status, 73);
  EXPECT_EQ(run.err, "corvlin-host: cannot write " + path.string() + ": File too large\n");
  EXPECT_EQ(slurp(path), good);
  EXPECT_EQ(entries(folder), std::vector<std::string>{"preview.html"})
      << "the temporary file is removed";

  // A replaced file keeps the permissions of the one it replaces.
  const HostRun replaced =
      runHost({"render", "--now", pinnedNow, "--format", "html", "--out", path.string()});
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(slurp(path).rfind("<!doctype html>", 0), 0u);
  EXPECT_EQ(entries(folder), std::vector<std::string>{"preview.html"});
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(HostOutput, OutNamesThePathThatCannotBeWritten) {
  const fs::path folder = scratchFolder("refused");
  const fs::path notAFolder = folder / "file";
  std::ofstream(notAFolder) << "x";
  // A link is not written through, wherever it points; what it names is left as it was.
  const fs::path target = folder / "target.txt";
  std::ofstream(target) << "kept";
  fs::create_symlink("target.txt", folder / "link.txt");
  fs::create_symlink("/nonexistent/elsewhere.txt", folder / "dangling.txt");
  fs::create_directories(folder / "sub");
  ASSERT_EQ(::mkfifo((folder / "unread").c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"/nonexistent/dir/out.txt", "No such file or directory"},
      {(notAFolder / "out.txt").string(), "Not a directory"},
      // A device cannot be replaced by a rename; it is written in place, and that fails.
      {"/dev/full", "No space left on device"},
      {(folder / "link.txt").string(),
       "it is a symbolic link to target.txt; --out does not write through a link: name the file "
       "itself, or give --out - for standard output"},
      {(folder / "dangling.txt").string(), "it is a symbolic link to /nonexistent/elsewhere.txt"},
      {(folder / "sub").string(),
       "it is a folder; --out writes a regular file, a character "
       "device such as /dev/null, or a FIFO that a process reads"},
      // No reader: writing would wait for ever, so the open does not wait at all.
      {(folder / "unread").string(), "it is a FIFO that no process is reading"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const HostRun run = runHost({"render", "--now", pinnedNow, "--out", c.path});
    EXPECT_EQ(run.status, 73);
    EXPECT_EQ(run.err.rfind("corvlin-host: cannot write " + c.path + ": " + c.reason, 0), 0u)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  struct stat info {};
  ASSERT_EQ(::stat("/dev/full", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode)) << "the device is still a device";
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(slurp(target), "kept");
  EXPECT_FALSE(fs::exists("/nonexistent/elsewhere.txt"));
  EXPECT_EQ(entries(folder), (std::vector<std::string>{"dangling.txt", "file", "link.txt", "sub",
                                                       "target.txt", "unread"}));
}

TEST(HostOutput, OutWritesADeviceOrAReadFifoInPlace) {
  const HostRun null = runHost({"render", "--now", pinnedNow, "--out", "/dev/null"});
  EXPECT_EQ(null.status, 0) << null.err;
  EXPECT_EQ(null.err, "corvlin-host: wrote /dev/null\n");

  const fs::path fifo = scratchFolder("fifo") / "page";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Held open for reading from here; the text page is far smaller than the pipe's buffer.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const HostRun run = runHost({"render", "--now", pinnedNow, "--out", fifo.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  std::string page(65536, '\0');
  const ssize_t n = ::read(reader, page.data(), page.size());
  ::close(reader);
  ASSERT_GT(n, 0);
  page.resize(static_cast<std::size_t>(n));
  EXPECT_EQ(page, runHost({"render", "--now", pinnedNow}).out);
  EXPECT_TRUE(fs::is_fifo(fifo)) << "the FIFO is still a FIFO";
}

}  // namespace
}  // namespace corvlin::test
