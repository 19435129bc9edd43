#include "host/server/file_watch.hpp"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace corvlin::host::server {

namespace asio = boost::asio;

struct FileWatch::State : std::enable_shared_from_this<FileWatch::State> {
  asio::posix::stream_descriptor events;
  asio::steady_timer settle;
  std::chrono::milliseconds settleTime;
  std::string path;
  std::string name;  // the file's name within its folder
  OnSave onSave;
  bool stopped = false;
  alignas(inotify_event) std::array<char, std::size_t{16} * 1024> buffer{};

  State(asio::io_context& io, int fd) : events(io, fd), settle(io) {}

  void read() {
    events.async_read_some(
        asio::buffer(buffer),
        [self = shared_from_this()](boost::system::error_code ec, std::size_t size) {
          if (ec || self->stopped) return;
          if (self->concernsFile(size)) self->restartSettle();
          self->read();
        });
  }

  bool concernsFile(std::size_t size) const {
    bool ours = false;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
      inotify_event event;
      std::memcpy(&event, buffer.data() + at, sizeof event);
      const char* nameAt = buffer.data() + at + sizeof(inotify_event);
      if (event.len > 0 && name == std::string(nameAt, ::strnlen(nameAt, event.len))) ours = true;
      at += sizeof(inotify_event) + event.len;
    }
    return ours;
  }

  // A save is reported once no write has come for the settle time.
  void restartSettle() {
    settle.expires_after(settleTime);
    settle.async_wait([self = shared_from_this()](boost::system::error_code ec) {
      if (ec || self->stopped) return;
      std::ifstream file(self->path, std::ios::binary);
      if (!file) return;  // between a rename's two halves; the next event reports it
      std::ostringstream contents;
      contents << file.rdbuf();
      if (file.bad()) return;
      self->onSave(contents.str());
    });
  }
};

Result<std::unique_ptr<FileWatch>, std::string> FileWatch::start(asio::io_context& io,
                                                                 const std::string& path,
                                                                 OnSave onSave,
                                                                 std::chrono::milliseconds settle) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return Failure{"'" + path + "' names a folder, not a file"};
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return Failure{std::string("cannot start inotify: ") + std::strerror(errno)};
  if (::inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
    const std::string why = std::strerror(errno);
    ::close(fd);
    return Failure{"cannot watch the folder '" + folder + "': " + why};
  }
  auto state = std::make_shared<State>(io, fd);
  state->settleTime = settle;
  state->path = path;
  state->name = name;
  state->onSave = std::move(onSave);
  state->read();
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
  state_->stopped = true;
  state_->settle.cancel();
  boost::system::error_code ignored;
  state_->events.close(ignored);
}

}  // namespace corvlin::host::server
