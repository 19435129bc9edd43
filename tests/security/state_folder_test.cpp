// How far the state folder is trusted: a folder someone else could change is refused, a key
// someone else owns is refused, the lock is never a link followed, a complete authority is read
// without the lock, and a wait for the lock is told and can be given up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "host/security/local_authority.hpp"
#include "security_test_support.hpp"

namespace corvlin::host::security {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

constexpr double madeAt = 1'780'000'000;
// Someone else: the user `nobody` on Debian.
constexpr uid_t otherUser = 65534;

bool isRoot() { return ::geteuid() == 0; }

// An open file holding an flock, as another server making the authority would.
struct HeldLock {
  explicit HeldLock(const fs::path& path)
      : descriptor(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    EXPECT_GE(descriptor, 0);
    EXPECT_EQ(::flock(descriptor, LOCK_EX), 0);
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  ~HeldLock() { release(); }
  void release() {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
  }
  int descriptor;
};

TEST(StateFolder, RefusesAFolderThatSomeoneElseCouldChange) {
  struct Case {
    const char* name;
    mode_t mode;
    bool otherOwner;
    std::vector<std::string> refusal;  // parts of the message; none: the authority is made
  };
  const std::vector<Case> cases = {
      {"private", 0700, false, {}},
      {"readable by all: ca.pem is public and the key is 0600", 0755, false, {}},
      {"writable by the group",
       0770,
       false,
       {"can be written by other users (mode 0770), who could put a key of their own in it; run: "
        "chmod 700 '"}},
      {"writable by others", 0703, false, {"can be written by other users (mode 0703)"}},
      {"shared like /tmp", 01777, false, {"(mode 1777)"}},
      {"owned by another user",
       0700,
       true,
       {"is owned by user 65534", "not by you (user 0",
        "name a folder of your own with --state-dir"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.otherOwner && !isRoot()) continue;  // only root can give a folder away
    const ScratchFolder scratch;
    const fs::path folder = scratch.path() / "state";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
    if (c.otherOwner) {
      ASSERT_EQ(::chown(folder.c_str(), otherUser, otherUser), 0);
    }
    const auto loaded = loadOrCreateAuthority(folder, madeAt);
    if (c.refusal.empty()) {
      EXPECT_TRUE(loaded) << loaded.error();
      continue;
    }
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().rfind(folder.string() + " ", 0), 0u) << loaded.error();
    for (const auto& part : c.refusal) {
      EXPECT_NE(loaded.error().find(part), std::string::npos) << loaded.error();
    }
    EXPECT_FALSE(fs::exists(folder / "ca-key.pem")) << "nothing is written in it";
  }
  // A folder made now is made private, whatever the folder above it allows.
  const ScratchFolder scratch;
  ASSERT_EQ(::chmod(scratch.path().c_str(), 0777), 0);
  EXPECT_TRUE(loadOrCreateAuthority(scratch.path() / "made", madeAt));
  EXPECT_EQ(test::modeOf(scratch.path() / "made"), 0700u);
}

TEST(StateFolder, RefusesAKeyThatAnotherUserOwns) {
  if (!isRoot()) GTEST_SKIP() << "only root can give a file away";
  const ScratchFolder scratch;
  ASSERT_TRUE(loadOrCreateAuthority(scratch.path(), madeAt));
  ASSERT_EQ(::chown((scratch.path() / "ca-key.pem").c_str(), otherUser, otherUser), 0);
  const auto loaded = loadOrCreateAuthority(scratch.path(), madeAt);
  ASSERT_FALSE(loaded);
  EXPECT_NE(
      loaded.error().find((scratch.path() / "ca-key.pem").string() + " is owned by user 65534"),
      std::string::npos)
      << loaded.error();
  EXPECT_NE(loaded.error().find("a key that someone else can replace is not used"),
            std::string::npos);
}

TEST(StateFolder, TheLockIsNeverALinkFollowed) {
  const ScratchFolder scratch;
  const fs::path elsewhere = scratch.path() / "elsewhere";
  const fs::path folder = scratch.path() / "state";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  fs::create_symlink(elsewhere, folder / "ca.lock");
  const auto loaded = loadOrCreateAuthority(folder, madeAt);
  ASSERT_FALSE(loaded);
  EXPECT_NE(loaded.error().find((folder / "ca.lock").string() + " is a symbolic link"),
            std::string::npos)
      << loaded.error();
  EXPECT_FALSE(fs::exists(elsewhere)) << "nothing is made where the link points";
}

TEST(StateFolder, ACompleteAuthorityIsReadWithoutTheLock) {
  const ScratchFolder scratch;
  const auto made = loadOrCreateAuthority(scratch.path(), madeAt);
  ASSERT_TRUE(made);
  // Another server holds the lock: reading does not wait for it.
  {
    const HeldLock held(scratch.path() / "ca.lock");
    bool told = false;
    LockWait wait{[&](const fs::path&) { told = true; }, [] { return true; }};
    const auto read = loadOrCreateAuthority(scratch.path(), madeAt, wait);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(*read, *made);
    EXPECT_FALSE(told);
  }
  // A folder that cannot be written: no lock file is made, and the authority serves.
  fs::remove(scratch.path() / "ca.lock");
  ASSERT_EQ(::chmod(scratch.path().c_str(), 0500), 0);
  const auto readOnly = loadOrCreateAuthority(scratch.path(), madeAt);
  ::chmod(scratch.path().c_str(), 0700);
  ASSERT_TRUE(readOnly) << readOnly.error();
  EXPECT_EQ(*readOnly, *made);
  EXPECT_FALSE(fs::exists(scratch.path() / "ca.lock"));
}

TEST(StateFolder, AWaitForTheLockIsToldAndCanBeGivenUp) {
  const ScratchFolder scratch;
  const fs::path lock = scratch.path() / "ca.lock";
  HeldLock held(lock);
  std::vector<fs::path> told;
  int asked = 0;
  LockWait giveUp{[&](const fs::path& path) { told.push_back(path); },
                  [&] { return ++asked == 3; }};
  const auto stopped = loadOrCreateAuthority(scratch.path(), madeAt, giveUp);
  ASSERT_FALSE(stopped);
  EXPECT_EQ(stopped.error(), "stopped while waiting for the lock " + lock.string());
  EXPECT_EQ(told, std::vector<fs::path>{lock}) << "told once";
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(fs::exists(scratch.path() / "ca.pem"));

  // Released meanwhile: the wait ends and the authority is made.
  told.clear();
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.release();
  });
  LockWait patient{[&](const fs::path& path) { told.push_back(path); }, [] { return false; }};
  const auto made = loadOrCreateAuthority(scratch.path(), madeAt, patient);
  other.join();
  ASSERT_TRUE(made) << made.error();
  EXPECT_EQ(told, std::vector<fs::path>{lock});
}

}  // namespace
}  // namespace corvlin::host::security
