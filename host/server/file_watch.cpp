#include "host/server/file_watch.hpp"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace corvlin::host::server {

namespace asio = boost::asio;
namespace fs = std::filesystem;

namespace {

std::string inQuotes(const std::string& path) { return "'" + path + "'"; }

std::string_view kindOfFile(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISSOCK(mode)) return "a socket";
  return "an unknown kind of file";
}

WatchNote notRegular(const std::string& path, mode_t mode) {
  return {inQuotes(path) + " is " + std::string(kindOfFile(mode)) +
          ", not a regular file; it was not read"};
}

WatchNote cannotRead(const std::string& path, int error) {
  return {"cannot read " + inQuotes(path) + ": " + std::strerror(error)};
}

// The folder's own changes, and the saves of the file in it (a save by rename is a move).
constexpr std::uint32_t folderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// While the folder is gone: the next folder down towards it coming back, and the ancestor's
// own going.
constexpr std::uint32_t ancestorEvents =
    IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The watch is no longer on what it was put on.
constexpr std::uint32_t watchLost = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

}  // namespace

std::variant<WatchedSave, FileAbsent, WatchNote> readWatchedFile(const std::string& path,
                                                                 std::size_t maxBytes) {
  // A look before opening, so that a device is never opened at all; the opened file is checked
  // again, since another file may take the name in between.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    if (errno == ENOENT) return FileAbsent{};
    return cannotRead(path, errno);
  }
  if (!S_ISREG(before.st_mode)) return notRegular(path, before.st_mode);
  // Without blocking: a FIFO that takes the name between the look and the open opens at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return FileAbsent{};
    return cannotRead(path, errno);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat opened {};
  if (::fstat(fd, &opened) != 0) return cannotRead(path, errno);
  if (!S_ISREG(opened.st_mode)) return notRegular(path, opened.st_mode);
  WatchedSave save;
  save.contents.resize(maxBytes + 1);
  std::size_t filled = 0;
  while (filled < save.contents.size()) {
    const ssize_t n = ::read(fd, save.contents.data() + filled, save.contents.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return cannotRead(path, errno);
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  save.contents.resize(filled);
  return save;
}

struct FileWatch::State : std::enable_shared_from_this<FileWatch::State> {
  asio::posix::stream_descriptor events;
  asio::steady_timer settle;
  std::chrono::milliseconds settleTime{};
  std::size_t maxBytes = 0;
  std::string path;
  std::string name;  // the file's name within its folder
  fs::path folder;   // the file's folder, absolute
  fs::path watched;  // the folder, or while it is gone the nearest ancestor that exists
  int watch = -1;    // the inotify watch on `watched`; -1 when none
  OnReport onReport;
  bool stopped = false;
  alignas(inotify_event) std::array<char, std::size_t{16} * 1024> buffer{};

  State(asio::io_context& io, int fd) : events(io, fd), settle(io) {}

  bool onFolder() const { return watch >= 0 && watched == folder; }

  void note(std::string message) {
    if (!stopped) onReport(WatchNote{std::move(message)});
  }

  void halt() {
    stopped = true;
    settle.cancel();
    boost::system::error_code ignored;
    events.close(ignored);
  }

  // Never silent: whoever watches learns that saves are no longer posted, and why.
  void end(const std::string& why) {
    note("the watch of " + inQuotes(path) +
         " has ended, and its saves are no longer posted: " + why);
    halt();
  }

  void read() {
    events.async_read_some(
        asio::buffer(buffer),
        [self = shared_from_this()](boost::system::error_code ec, std::size_t size) {
          if (self->stopped) return;
          if (ec) return self->end("its events cannot be read: " + ec.message());
          self->take(size);
          if (!self->stopped) self->read();
        });
  }

  void take(std::size_t size) {
    bool saved = false;
    bool lost = false;
    bool look = false;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
      inotify_event event;
      std::memcpy(&event, buffer.data() + at, sizeof event);
      const char* nameAt = buffer.data() + at + sizeof(inotify_event);
      const std::string_view eventName(nameAt, ::strnlen(nameAt, event.len));
      at += sizeof(inotify_event) + event.len;
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        look = true;  // events were lost, the folder's going among them perhaps
      } else if (event.wd != watch) {
        continue;  // a watch already given up
      } else if ((event.mask & watchLost) != 0) {
        (onFolder() ? lost : look) = true;
      } else if (onFolder()) {
        saved = saved || eventName == name;
      } else {
        look = look || eventName == nextFolderName();
      }
    }
    if (lost || look) return rearm(lost);
    if (saved) restartSettle();
  }

  // The name, within the watched ancestor, of the next folder down towards the file's folder.
  std::string nextFolderName() const {
    fs::path below = folder;
    while (below.parent_path() != watched && below != below.parent_path()) {
      below = below.parent_path();
    }
    return below.filename().string();
  }

  // Watches the folder, or while it is gone the nearest ancestor that exists; ends the watch,
  // saying why, when neither can be watched.
  void arm() {
    const int fd = events.native_handle();
    if (watch >= 0) ::inotify_rm_watch(fd, watch);  // may be gone already: nothing to undo
    watch = -1;
    for (int attempt = 0;; ++attempt) {
      fs::path at = folder;
      int added = -1;
      while ((added = ::inotify_add_watch(fd, at.c_str(),
                                          at == folder ? folderEvents : ancestorEvents)) < 0) {
        const int error = errno;
        if ((error != ENOENT && error != ENOTDIR) || at == at.parent_path()) {
          return end("cannot watch " + inQuotes(at.string()) + ": " + std::strerror(error));
        }
        at = at.parent_path();
      }
      watch = added;
      watched = at;
      // A folder made between its failed watch and its parent's would never be announced:
      // look again, a few times at most; after that its parent's events still report it.
      std::error_code ignored;
      if (at == folder || attempt == 3 || !fs::is_directory(at / nextFolderName(), ignored)) {
        return;
      }
      ::inotify_rm_watch(fd, watch);
      watch = -1;
    }
  }

  // After the folder's watch was lost, or an ancestor changed: watch again where one can, say
  // what changed, and read the file once its folder is watched again.
  void rearm(bool folderLost) {
    const bool was = onFolder();
    arm();
    if (stopped) return;
    const bool is = onFolder();
    const std::string folderText = inQuotes(folder.string());
    if (was && !is) {
      note("the folder " + folderText +
           " was removed or moved away; its saves are posted again once it is back");
    } else if (!was && is) {
      note("the folder " + folderText + " is back; watching it again");
    } else if (folderLost && is) {
      note("the folder " + folderText + " was replaced; watching the new one");
    }
    if (is) restartSettle();
  }

  // A save is reported once no write has come for the settle time.
  void restartSettle() {
    settle.expires_after(settleTime);
    settle.async_wait([self = shared_from_this()](boost::system::error_code ec) {
      if (ec || self->stopped) return;
      self->report(false);
    });
  }

  void report(bool atStart) {
    auto read = readWatchedFile(path, maxBytes);
    if (auto* save = std::get_if<WatchedSave>(&read)) {
      onReport(std::move(*save));
    } else if (auto* problem = std::get_if<WatchNote>(&read)) {
      note(std::move(problem->message));
    } else if (atStart) {
      note(inQuotes(path) + " does not exist yet; its first save will be posted");
    }
    // Otherwise absent between a rename's two halves, or not yet in a folder made again: the
    // save that brings it is reported.
  }
};

Result<std::unique_ptr<FileWatch>, std::string> FileWatch::start(asio::io_context& io,
                                                                 const std::string& path,
                                                                 std::size_t maxBytes,
                                                                 OnReport onReport,
                                                                 std::chrono::milliseconds settle) {
  const auto slash = path.rfind('/');
  const std::string folderText = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return Failure{"'" + path + "' names a folder, not a file"};
  std::error_code failed;
  const fs::path absolute = fs::absolute(fs::path(path), failed).lexically_normal();
  if (failed) return Failure{"cannot find the folder of '" + path + "': " + failed.message()};
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return Failure{std::string("cannot start inotify: ") + std::strerror(errno)};
  const int watch = ::inotify_add_watch(fd, folderText.c_str(), folderEvents);
  if (watch < 0) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    return Failure{"cannot watch the folder '" + folderText + "': " + why};
  }
  auto state = std::make_shared<State>(io, fd);
  state->settleTime = settle;
  state->maxBytes = maxBytes;
  state->path = path;
  state->name = name;
  state->folder = absolute.parent_path();
  state->watched = state->folder;
  state->watch = watch;
  state->onReport = std::move(onReport);
  state->read();
  asio::post(io, [self = state] {
    if (!self->stopped) self->report(true);
  });
  return std::unique_ptr<FileWatch>(new FileWatch(std::move(state)));
}

FileWatch::~FileWatch() {
  try {
    stop();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing can be reported from a destructor
  }
}

void FileWatch::stop() {
  if (state_->stopped) return;
  state_->halt();
}

}  // namespace corvlin::host::server
