// The file work of the local authority: bounded reads, private folders and files, atomic
// writes, and the lock that lets one process at a time make the authority.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "json/result.hpp"

namespace corvlin::host::security {

// A PEM file larger than this is refused before it is read: a certificate chain or a key
// takes a few KiB.
inline constexpr std::size_t maxPemBytes = std::size_t{64} * 1024;

// The whole of a regular file of at most `limit` bytes. Errors name the file and say what is
// wrong with it (missing, not a regular file, too large, unreadable).
Result<std::string, std::string> readBoundedFile(const std::filesystem::path& path,
                                                 std::size_t limit = maxPemBytes);

// readBoundedFile for a private key: also refuses a file that group or others may read or
// write, naming the command that fixes it (chmod 600 'PATH'), and one owned by another user,
// who could replace it.
Result<std::string, std::string> readPrivateFile(const std::filesystem::path& path,
                                                 std::size_t limit = maxPemBytes);

// Creates a folder and the missing folders above it, each 0700; nothing when it exists. True
// when `path` itself was made now.
Result<bool, std::string> makePrivateDirectory(const std::filesystem::path& path);

// Refuses a folder that another user owns or that group or others may write: either could put
// their own files in it. The message says whose it is or which command fixes it.
Result<bool, std::string> checkPrivateDirectory(const std::filesystem::path& path);

// Replaces `path` by a file with these contents and this mode: written to a temporary file in
// the same folder, flushed to disk, then renamed over it, so that a reader sees the old file
// or the whole new one.
Result<bool, std::string> writeFileAtomically(const std::filesystem::path& path,
                                              const std::string& contents, mode_t mode);

// `text` quoted for a POSIX shell.
std::string shellQuoted(const std::string& text);

// How a wait for a lock that another process holds is told, and given up.
struct LockWait {
  // Called once, when the lock is found held, before the wait.
  std::function<void(const std::filesystem::path& lock)> waiting;
  // Asked every tenth of a second while waiting; true gives the wait up.
  std::function<bool()> stopped;
};

// An exclusive lock (flock) on a file, held until this is destroyed. Locks are per open file,
// so threads of one process exclude each other as processes do. The lock file is opened
// without following a link and without waiting, and must be a regular file.
class FileLock {
 public:
  static Result<FileLock, std::string> acquire(const std::filesystem::path& path,
                                               const LockWait& wait = {});

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

}  // namespace corvlin::host::security
