#include "host/files/output_folder.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/files/input.hpp"

namespace corvlin::host {
namespace {

std::string reason(int error) { return std::strerror(error); }

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// Six letters or digits, for a temporary name that nobody can guess in advance.
std::string randomSuffix() {
  static constexpr std::string_view letters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::array<unsigned char, 6> noise{};
  if (::getrandom(noise.data(), noise.size(), 0) != static_cast<ssize_t>(noise.size())) {
    // Without the kernel's randomness the name is still unique: O_EXCL refuses a taken one.
    for (std::size_t i = 0; i < noise.size(); ++i) {
      noise[i] = static_cast<unsigned char>(static_cast<unsigned>(::getpid()) >> (4 * i));
    }
  }
  std::string suffix;
  for (const unsigned char c : noise) suffix += letters[c % letters.size()];
  return suffix;
}

// A new file `.NAME.XXXXXX` in the folder, opened for writing; never a link followed.
int createTemporary(int folder, const std::string& name, std::string& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = "." + name + "." + randomSuffix();
    const int fd = ::openat(folder, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// A single path component: no slash, not empty, not "." nor "..".
bool isOneName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

Result<OutputFolder, std::string> OutputFolder::open(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return Failure{"cannot create the folder " + path + ": " + error.message()};
  auto opened = openExisting(path);
  if (!opened) return Failure{"cannot create the folder " + path + ": " + opened.error()};
  return opened;
}

Result<OutputFolder, std::string> OutputFolder::openExisting(const std::string& path) {
  const int fd =
      ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Failure{reason(errno)};
  return OutputFolder(path, fd);
}

std::string OutputFolder::shown(const std::string& name) const {
  if (path_.empty()) return name;
  return path_.back() == '/' ? path_ + name : path_ + "/" + name;
}

Result<OutputFolder, std::string> OutputFolder::subfolder(const std::string& name) const {
  const std::string where = shown(name);
  const auto failed = [&](const std::string& why) -> Result<OutputFolder, std::string> {
    return Failure{"cannot create the folder " + where + ": " + why};
  };
  if (!isOneName(name)) return failed("not a name inside " + path_);
  struct stat entry {};
  if (::fstatat(descriptor_, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISREG(entry.st_mode)) return failed("a file of that name is in the way");
    // A link, a FIFO, a socket or a device holds nothing: the folder takes its place.
    if (!S_ISDIR(entry.st_mode) && ::unlinkat(descriptor_, name.c_str(), 0) != 0) {
      return failed(std::string(fileKind(entry.st_mode)) +
                    " of that name cannot be replaced: " + reason(errno));
    }
  } else if (errno != ENOENT) {
    return failed(reason(errno));
  }
  if (::mkdirat(descriptor_, name.c_str(), 0777) != 0 && errno != EEXIST) {
    return failed(reason(errno));
  }
  // Whatever took the name meanwhile, a link is not followed here.
  const int fd = ::openat(descriptor_, name.c_str(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    return failed(error == ELOOP || error == ENOTDIR ? "it is not a folder" : reason(error));
  }
  return OutputFolder(where, fd);
}

Result<std::monostate, std::string> OutputFolder::replace(const std::string& name,
                                                          std::string_view bytes) const {
  const std::string where = shown(name);
  const auto failed = [&](const std::string& why) -> Result<std::monostate, std::string> {
    return Failure{"cannot write " + where + ": " + why};
  };
  if (!isOneName(name)) return failed("not a name inside " + path_);
  struct stat old {};
  mode_t mode = newFileMode();
  if (::fstatat(descriptor_, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(old.st_mode)) return failed("it is a folder");
    // Only a regular file's permissions are kept: a link's or a FIFO's say nothing of a file.
    if (S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
  }

  std::string temporary;
  const int fd = createTemporary(descriptor_, name, temporary);
  if (fd < 0) return failed(reason(errno));
  int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
  if (error == 0) error = writeAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  // The rename replaces the entry itself, whatever it is; a link is never followed.
  if (error == 0 && ::renameat(descriptor_, temporary.c_str(), descriptor_, name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(descriptor_, temporary.c_str(), 0);
    return failed(error == EISDIR ? "it is a folder" : reason(error));
  }
  // Make the rename itself durable; a folder that cannot be synced leaves the file written.
  ::fsync(descriptor_);
  return std::monostate{};
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

OutputFolder::~OutputFolder() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace corvlin::host
