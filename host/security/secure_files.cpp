#include "host/security/secure_files.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

namespace corvlin::host::security {

namespace fs = std::filesystem;

namespace {

std::string systemReason(int error) { return std::strerror(error); }

// "user 1000 (alice)", or "user 1000" when it has no name.
std::string ownerName(uid_t user) {
  std::string text = "user " + std::to_string(user);
  std::vector<char> buffer(std::size_t{16} * 1024);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    text += std::string(" (") + found->pw_name + ")";
  }
  return text;
}

std::string octal(mode_t mode) {
  std::array<char, 8> text{};
  std::snprintf(text.data(), text.size(), "%04o", static_cast<unsigned>(mode & 07777));
  return text.data();
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int get() const { return descriptor_; }
  // Closes now, reporting whether the close succeeded.
  bool close() {
    const int descriptor = std::exchange(descriptor_, -1);
    return descriptor < 0 || ::close(descriptor) == 0;
  }

 private:
  int descriptor_;
};

// Reads what is left of an open file, at most `limit` bytes; fails past the bound.
Result<std::string, std::string> readOpenFile(int descriptor, const fs::path& path,
                                              std::size_t limit) {
  std::string contents;
  std::vector<char> buffer(std::size_t{16} * 1024);
  for (;;) {
    const ssize_t count = ::read(descriptor, buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Failure{path.string() + ": cannot be read: " + systemReason(errno)};
    if (count == 0) return contents;
    contents.append(buffer.data(), static_cast<std::size_t>(count));
    if (contents.size() > limit) {
      return Failure{path.string() + " is larger than " + std::to_string(limit) +
                     " bytes, too large for a PEM file"};
    }
  }
}

Result<std::string, std::string> readChecked(const fs::path& path, std::size_t limit,
                                             bool privateKey) {
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    const int error = errno;
    if (error == ENOENT) return Failure{path.string() + " does not exist"};
    return Failure{path.string() + ": cannot be opened: " + systemReason(error)};
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    return Failure{path.string() + ": cannot be read: " + systemReason(errno)};
  }
  if (!S_ISREG(status.st_mode)) return Failure{path.string() + " is not a regular file"};
  if (privateKey && status.st_uid != ::geteuid()) {
    return Failure{path.string() + " is owned by " + ownerName(status.st_uid) + ", not by you (" +
                   ownerName(::geteuid()) +
                   "): a key that someone else can replace is not used; make it yours "
                   "(chown) or remove it"};
  }
  if (privateKey && (status.st_mode & 077) != 0) {
    const char* exposure = (status.st_mode & 044) != 0 ? "can be read by other users"
                                                       : "can be written by other users";
    return Failure{path.string() + " " + exposure + "; run: chmod 600 " +
                   shellQuoted(path.string())};
  }
  if (status.st_size > static_cast<off_t>(limit)) {
    return Failure{path.string() + " is larger than " + std::to_string(limit) +
                   " bytes, too large for a PEM file"};
  }
  // The file was opened without blocking so that a FIFO could not stall the open; a regular
  // file reads the same either way.
  return readOpenFile(file.get(), path, limit);
}

bool syncFolder(const fs::path& folder) {
  const Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return directory.get() >= 0 && ::fsync(directory.get()) == 0;
}

}  // namespace

Result<std::string, std::string> readBoundedFile(const fs::path& path, std::size_t limit) {
  return readChecked(path, limit, false);
}

Result<std::string, std::string> readPrivateFile(const fs::path& path, std::size_t limit) {
  return readChecked(path, limit, true);
}

Result<bool, std::string> makePrivateDirectory(const fs::path& path) {
  if (path.empty()) return Failure{std::string("the state folder is not named")};
  fs::path partial;
  bool made = false;
  for (const fs::path& part : path) {
    partial /= part;
    made = false;
    if (::mkdir(partial.c_str(), 0700) == 0) {
      // The mode is exact whatever the process's umask.
      if (::chmod(partial.c_str(), 0700) != 0) {
        return Failure{partial.string() + ": cannot set its mode: " + systemReason(errno)};
      }
      made = true;
      continue;
    }
    const int error = errno;
    if (error != EEXIST) {
      return Failure{partial.string() + ": cannot create the folder: " + systemReason(error)};
    }
  }
  std::error_code code;
  if (!fs::is_directory(path, code)) return Failure{path.string() + " is not a folder"};
  return made;
}

Result<bool, std::string> checkPrivateDirectory(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return Failure{path.string() + ": cannot be read: " + systemReason(errno)};
  }
  if (!S_ISDIR(status.st_mode)) return Failure{path.string() + " is not a folder"};
  if (status.st_uid != ::geteuid()) {
    return Failure{path.string() + " is owned by " + ownerName(status.st_uid) + ", not by you (" +
                   ownerName(::geteuid()) +
                   "), who could put a key of their own in it; name a folder of your own with "
                   "--state-dir"};
  }
  if ((status.st_mode & 022) != 0) {
    return Failure{path.string() + " can be written by other users (mode " + octal(status.st_mode) +
                   "), who could put a key of their own in it; run: " + "chmod 700 " +
                   shellQuoted(path.string())};
  }
  return true;
}

Result<bool, std::string> writeFileAtomically(const fs::path& path, const std::string& contents,
                                              mode_t mode) {
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) {
    return Failure{path.string() +
                   ": cannot create a temporary file beside it: " + systemReason(errno)};
  }
  const auto fail = [&](const std::string& what) -> Result<bool, std::string> {
    const int error = errno;
    ::unlink(temporary.c_str());
    return Failure{path.string() + ": " + what + ": " + systemReason(error)};
  };
  if (::fchmod(file.get(), mode) != 0) return fail("cannot set its mode");
  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t count = ::write(file.get(), contents.data() + written, contents.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return fail("cannot be written");
    written += static_cast<std::size_t>(count);
  }
  if (::fsync(file.get()) != 0) return fail("cannot be flushed to disk");
  if (!file.close()) return fail("cannot be written");
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail("cannot be put in place");
  if (!syncFolder(folder)) {
    return Failure{folder.string() + ": cannot be flushed to disk: " + systemReason(errno)};
  }
  return true;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

Result<FileLock, std::string> FileLock::acquire(const fs::path& path, const LockWait& wait) {
  const int descriptor =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (descriptor < 0) {
    const int error = errno;
    if (error == ELOOP) {
      return Failure{path.string() + " is a symbolic link; a lock file is never followed: remove " +
                     shellQuoted(path.string())};
    }
    return Failure{path.string() + ": cannot open the lock file: " + systemReason(error)};
  }
  FileLock lock(descriptor);
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    return Failure{path.string() + " is not a regular file; remove it, it is only a lock"};
  }
  bool told = false;
  for (;;) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) return lock;
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) {
      return Failure{path.string() + ": cannot be locked: " + systemReason(error)};
    }
    if (error == EINTR) continue;
    if (!told && wait.waiting) wait.waiting(path);
    told = true;
    if (wait.stopped && wait.stopped()) {
      return Failure{"stopped while waiting for the lock " + path.string()};
    }
    // A signal ends the nap early; the loop then asks again.
    const struct timespec nap { 0, 100'000'000 };
    ::nanosleep(&nap, nullptr);
  }
}

FileLock::FileLock(FileLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock::~FileLock() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace corvlin::host::security
