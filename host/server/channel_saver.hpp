// Writes the channels' file on a thread of its own, so that the event loop never waits on the
// disk. Saves are coalesced: one asked while another is being written replaces the one waiting,
// so the file always ends as the newest store; the last save asked is written before the saver
// is destroyed.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "host/files/output_folder.hpp"

namespace corvlin::host::server {

class ChannelSaver {
 public:
  // Called on the saver's thread with what a write that failed said; the caller posts it to
  // where it is shown.
  using Failed = std::function<void(std::string)>;

  ChannelSaver(std::shared_ptr<OutputFolder> folder, std::string fileName, Failed failed);
  ~ChannelSaver();
  ChannelSaver(const ChannelSaver&) = delete;
  ChannelSaver& operator=(const ChannelSaver&) = delete;

  // Writes `contents` as the file, after the write under way.
  void save(std::string contents);
  // Returns once every save asked so far is written (or has failed).
  void flush();

 private:
  void run();

  std::shared_ptr<OutputFolder> folder_;
  std::string fileName_;
  Failed failed_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::string> waiting_;  // guarded by mutex_
  bool writing_ = false;                // guarded by mutex_
  bool stopping_ = false;               // guarded by mutex_
  std::thread thread_;
};

}  // namespace corvlin::host::server
