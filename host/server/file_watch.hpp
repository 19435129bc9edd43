// Watches one file through inotify on its folder (editors save by rename) and reports each
// save once its burst of writes has settled.
#pragma once

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "model/result.hpp"

namespace corvlin::host::server {

class FileWatch {
 public:
  // Called with the file's contents after each save; not called when it cannot be read.
  using OnSave = std::function<void(std::string contents)>;

  // Starts watching `path`'s folder; fails, saying why, when the folder cannot be watched.
  static Result<std::unique_ptr<FileWatch>, std::string> start(
      boost::asio::io_context& io, const std::string& path, OnSave onSave,
      std::chrono::milliseconds settle = std::chrono::milliseconds(100));

  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Stops watching; no save is reported after this.
  void stop();

  struct State;

 private:
  explicit FileWatch(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

}  // namespace corvlin::host::server
