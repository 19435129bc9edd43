#include "host/files/output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/files/input.hpp"
#include "host/files/output_folder.hpp"

namespace corvlin::host {
namespace {

Written failed(std::string_view what, int error) {
  std::string message = "cannot write " + std::string(what);
  if (error != 0) message += std::string(": ") + std::strerror(error);
  return Failure{std::move(message)};
}

// A character device, or a FIFO that a process reads: written where it is. The open never
// waits, and never follows a link that took the name meanwhile.
Written writeInPlace(const std::string& path, mode_t expected, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENXIO && S_ISFIFO(expected)) {
      return Failure{"cannot write " + path + ": it is a FIFO that no process is reading"};
    }
    return failed(path, error);
  }
  struct stat opened {};
  int error = ::fstat(fd, &opened) == 0 ? 0 : errno;
  if (error == 0 && (opened.st_mode & S_IFMT) != (expected & S_IFMT)) {
    ::close(fd);
    return Failure{"cannot write " + path + ": it changed while it was opened"};
  }
  // Written as any output is: a reader that is slow is waited for, one that has gone fails.
  const int flags = ::fcntl(fd, F_GETFL);
  if (error == 0 && (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)) error = errno;
  if (error == 0) error = writeAll(fd, bytes);
  const int closeError = ::close(fd) == 0 ? 0 : errno;
  if (error != 0 || closeError != 0) return failed(path, error != 0 ? error : closeError);
  return std::monostate{};
}

// Why `path`, of this type, is not written.
std::string refusal(const std::string& path, const struct stat& entry) {
  const std::string start = "cannot write " + path + ": it is ";
  if (S_ISLNK(entry.st_mode)) {
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return start + "a symbolic link" + (target.empty() ? "" : " to " + target) +
           "; --out does not write through a link: name the file itself, or give --out - for "
           "standard output";
  }
  return start + std::string(fileKind(entry.st_mode)) +
         "; --out writes a regular file, a character device such as /dev/null, or a FIFO that "
         "a process reads";
}

}  // namespace

Written writeStream(std::ostream& out, std::string_view name, std::string_view bytes) {
  errno = 0;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) return failed(name, errno);
  return std::monostate{};
}

Written replaceFile(const std::string& path, std::string_view bytes) {
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
    if (S_ISCHR(entry.st_mode) || S_ISFIFO(entry.st_mode)) {
      return writeInPlace(path, entry.st_mode, bytes);
    }
    return Failure{refusal(path, entry)};
  }
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    return Failure{"cannot write " + path + ": it names a folder, not a file"};
  }
  auto opened = OutputFolder::openExisting(folder);
  if (!opened) return Failure{"cannot write " + path + ": " + opened.error()};
  return opened.value().replace(name, bytes);
}

Written closeStandardOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return failed("standard output", errno);
  if (std::fclose(stdout) != 0 && errno != EBADF) return failed("standard output", errno);
  return std::monostate{};
}

}  // namespace corvlin::host
