// Watches one file through inotify on its folder (editors save by rename) and reports the file
// as it stands at the start and after each save, once the save's burst of writes has settled.
// It follows its folder when the folder is removed and made again, and reads without blocking
// and within a bound, so that no file can stall or exhaust the event loop it runs on.
#pragma once

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "json/result.hpp"

namespace corvlin::host::server {

// The file as read: at most the watch's bound plus one byte, so that a longer file shows as
// such without being read further.
struct WatchedSave {
  std::string contents;
};
// What people should know about the watch: the file is not one that can be read (a FIFO, a
// device, unreadable), its folder went away or came back, or the watch ended.
struct WatchNote {
  std::string message;
};
using WatchReport = std::variant<WatchedSave, WatchNote>;

class FileWatch {
 public:
  using OnReport = std::function<void(WatchReport report)>;

  // Starts watching `path`'s folder, and reads the file at once from the event loop (a note
  // when it does not exist yet); fails, saying why, when the folder cannot be watched. A save
  // is read no further than `maxBytes` + 1 bytes.
  static Result<std::unique_ptr<FileWatch>, std::string> start(
      boost::asio::io_context& io, const std::string& path, std::size_t maxBytes, OnReport onReport,
      std::chrono::milliseconds settle = std::chrono::milliseconds(100));

  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Stops watching; nothing is reported after this.
  void stop();

  struct State;

 private:
  explicit FileWatch(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

// Reads at most `maxBytes` + 1 bytes of the regular file at `path` without blocking: the bytes,
// nothing when there is no such file, or a note saying why it was not read (not a regular
// file, or it cannot be opened or read).
struct FileAbsent {};
std::variant<WatchedSave, FileAbsent, WatchNote> readWatchedFile(const std::string& path,
                                                                 std::size_t maxBytes);

}  // namespace corvlin::host::server
