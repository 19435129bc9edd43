#include "host/files/output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace corvlin::host {
namespace {

Written failed(std::string_view what, int error) {
  std::string message = "cannot write " + std::string(what);
  if (error != 0) message += std::string(": ") + std::strerror(error);
  return Failure{std::move(message)};
}

// 0 when every byte went, or the errno of the write that failed.
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

Written writeInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return failed(path, errno);
  const int writeError = writeAll(fd, bytes);
  const int closeError = ::close(fd) == 0 ? 0 : errno;
  if (writeError != 0 || closeError != 0) return failed(path, writeError ? writeError : closeError);
  return std::monostate{};
}

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

Written writeStream(std::ostream& out, std::string_view name, std::string_view bytes) {
  errno = 0;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) return failed(name, errno);
  return std::monostate{};
}

Written replaceFile(const std::string& named, std::string_view bytes) {
  struct stat target {};
  const bool exists = ::stat(named.c_str(), &target) == 0;
  if (exists && !S_ISREG(target.st_mode)) return writeInPlace(named, bytes);
  // A symbolic link stays a link: the file it points to is the one replaced.
  std::string path = named;
  struct stat link {};
  if (exists && ::lstat(named.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* resolved = ::realpath(named.c_str(), nullptr)) {
      path = resolved;
      std::free(resolved);
    }
  }

  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary = (slash == std::string::npos ? "" : folder) + "." + name + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return failed(named, errno);

  // The new file gets the old one's permissions, or those of a file created here.
  int error = ::fchmod(fd, exists ? (target.st_mode & 07777) : newFileMode()) == 0 ? 0 : errno;
  if (error == 0) error = writeAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return failed(named, error);
  }
  // Make the rename itself durable; a folder that cannot be synced leaves the file written.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return std::monostate{};
}

Written closeStandardOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failed("standard output", errno);
  if (std::fclose(stdout) != 0 && errno != EBADF) return failed("standard output", errno);
  return std::monostate{};
}

}  // namespace corvlin::host
