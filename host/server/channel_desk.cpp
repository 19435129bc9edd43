#include "host/server/channel_desk.hpp"

#include <filesystem>
#include <system_error>
#include <utility>

#include "host/files/input.hpp"

namespace corvlin::host::server {
namespace {

constexpr std::string_view fileName = "channels.json";

}  // namespace

Result<ChannelDesk, std::string> ChannelDesk::inFolder(const std::string& folder,
                                                       ChannelSaver::Failed failed) {
  auto opened = OutputFolder::openExisting(folder);
  if (!opened) return Failure{std::move(opened).error()};
  ChannelDesk desk;
  auto kept = std::make_shared<OutputFolder>(std::move(opened).value());
  const std::string path = kept->shown(std::string(fileName));
  desk.saver_ = std::make_unique<ChannelSaver>(kept, std::string(fileName), std::move(failed));
  auto read = readRegularFile(path, board::maxChannelFileBytes);
  if (!read) {
    // A folder without the file has no channels yet.
    std::error_code ignored;
    if (read.error().kind == InputError::Kind::unreadable &&
        std::filesystem::symlink_status(path, ignored).type() ==
            std::filesystem::file_type::not_found) {
      return desk;
    }
    return Failure{"the channels cannot be read: " + read.error().message};
  }
  auto store = board::readChannelStore(read.value());
  if (!store) {
    return Failure{path + " does not hold the channels: " + errorText(store.error()) +
                   "; move it away to start with none"};
  }
  desk.store_ = std::move(store).value();
  return desk;
}

void ChannelDesk::commit(board::ChannelStore next) {
  store_ = std::move(next);
  if (saver_) saver_->save(board::channelStoreJson(store_));
}

board::ChannelOutcome ChannelDesk::manage(const board::ChannelRequest& request) {
  board::ChannelStep step = board::manageChannel(store_, request);
  if (step.changed) commit(std::move(step.store));
  return std::move(step.outcome);
}

void ChannelDesk::keepBroadcast(std::string_view id, board::StoredBroadcast broadcast) {
  board::ChannelStore next = board::withBroadcast(store_, id, std::move(broadcast));
  if (next != store_) commit(std::move(next));
}

void ChannelDesk::flush() {
  if (saver_) saver_->flush();
}

}  // namespace corvlin::host::server
