#include "host/server/channel_saver.hpp"

#include <utility>

namespace corvlin::host::server {

ChannelSaver::ChannelSaver(std::shared_ptr<OutputFolder> folder, std::string fileName,
                           Failed failed)
    : folder_(std::move(folder)),
      fileName_(std::move(fileName)),
      failed_(std::move(failed)),
      thread_([this] { run(); }) {}

ChannelSaver::~ChannelSaver() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ChannelSaver::save(std::string contents) {
  {
    const std::lock_guard lock(mutex_);
    waiting_ = std::move(contents);
  }
  wake_.notify_all();
}

void ChannelSaver::flush() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void ChannelSaver::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || waiting_; });
    // What waits is written even when stopping: the newest channels outlive the server.
    if (!waiting_) return;
    std::string contents = std::exchange(waiting_, std::nullopt).value();
    writing_ = true;
    lock.unlock();
    auto written = folder_->replace(fileName_, contents);
    if (!written && failed_) failed_(std::move(written).error());
    lock.lock();
    writing_ = false;
    wake_.notify_all();
  }
}

}  // namespace corvlin::host::server
