#include "host/files/input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace corvlin::host {

std::string_view fileKind(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFREG:
      return "a regular file";
    case S_IFDIR:
      return "a folder";
    case S_IFLNK:
      return "a symbolic link";
    case S_IFIFO:
      return "a FIFO";
    case S_IFSOCK:
      return "a socket";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    default:
      return "not a regular file";
  }
}

Result<std::string, InputError> readRegularFile(const std::string& path, std::size_t limit) {
  using Kind = InputError::Kind;
  const auto unreadable = [&](const std::string& why) -> Result<std::string, InputError> {
    return Failure{InputError{Kind::unreadable, "cannot read " + path + ": " + why}};
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat link {};
    if (error == ENOENT && ::lstat(path.c_str(), &link) == 0) {
      return unreadable("it is a symbolic link to nothing");
    }
    if (error == ENXIO) return unreadable("it is a socket, not a regular file");
    return unreadable(std::strerror(error));
  }
  struct Closer {
    explicit Closer(int d) : fd(d) {}
    Closer(const Closer&) = delete;
    Closer& operator=(const Closer&) = delete;
    ~Closer() { ::close(fd); }
    int fd;
  };
  const Closer closer(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) return unreadable(std::strerror(errno));
  if (!S_ISREG(status.st_mode)) {
    return unreadable("it is " + std::string(fileKind(status.st_mode)) + ", not a regular file");
  }
  if (static_cast<std::uintmax_t>(status.st_size) > limit) {
    return Failure{InputError{Kind::tooLarge, path + " is larger than " + std::to_string(limit) +
                                                  " bytes; refusing to read it"}};
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return unreadable(std::strerror(errno));
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limit) {
      return Failure{InputError{Kind::tooLarge, path + " is larger than " + std::to_string(limit) +
                                                    " bytes; refusing to read it"}};
    }
  }
}

Result<std::string, InputError> readPayload(const std::string& path) {
  const bool fromStdin = path == "-";
  const std::string name = fromStdin ? "standard input" : path;
  std::unique_ptr<FILE, int (*)(FILE*)> file(fromStdin ? stdin : std::fopen(path.c_str(), "rb"),
                                             fromStdin ? [](FILE*) { return 0; } : &std::fclose);
  if (!file) {
    return Failure{InputError{InputError::Kind::unreadable,
                              "cannot open " + name + ": " + std::strerror(errno)}};
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, n);
    if (bytes.size() > maxPayloadBytes) {
      return Failure{InputError{InputError::Kind::tooLarge, name + " is larger than " +
                                                                std::to_string(maxPayloadBytes) +
                                                                " bytes; refusing to read it"}};
    }
    if (n < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    return Failure{InputError{InputError::Kind::unreadable,
                              "cannot read " + name + ": " + std::strerror(errno)}};
  }
  return bytes;
}

Result<std::string, InputError> loadPayload(const std::optional<std::string>& file,
                                            std::string_view builtIn) {
  if (!file) return std::string(builtIn);
  return readPayload(*file);
}

}  // namespace corvlin::host
