#include "host/security/secure_files.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace corvlin::host::security {

namespace fs = std::filesystem;

namespace {

std::string systemReason(int error) { return std::strerror(error); }

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
  for (const fs::path& part : path) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) == 0) {
      // The mode is exact whatever the process's umask.
      if (::chmod(partial.c_str(), 0700) != 0) {
        return Failure{partial.string() + ": cannot set its mode: " + systemReason(errno)};
      }
      continue;
    }
    const int error = errno;
    if (error != EEXIST) {
      return Failure{partial.string() + ": cannot create the folder: " + systemReason(error)};
    }
  }
  std::error_code code;
  if (!fs::is_directory(path, code)) return Failure{path.string() + " is not a folder"};
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

Result<FileLock, std::string> FileLock::acquire(const fs::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (descriptor < 0) {
    return Failure{path.string() + ": cannot open the lock file: " + systemReason(errno)};
  }
  FileLock lock(descriptor);
  while (::flock(descriptor, LOCK_EX) != 0) {
    if (errno != EINTR)
      return Failure{path.string() + ": cannot be locked: " + systemReason(errno)};
  }
  return lock;
}

FileLock::FileLock(FileLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock::~FileLock() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace corvlin::host::security
