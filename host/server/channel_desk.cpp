#include "host/server/channel_desk.hpp"

#include <algorithm>
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

void ChannelDesk::save() const {
  if (saver_) saver_->save(board::channelStoreJson(store_));
}

// The store goes through each step and comes back: a request that changes nothing copies none
// of it.
board::ChannelOutcome ChannelDesk::manage(const board::ChannelRequest& request) {
  board::ChannelStep step = board::manageChannel(std::move(store_), request);
  store_ = std::move(step.store);
  if (step.changed) save();
  return std::move(step.outcome);
}

void ChannelDesk::keepBroadcast(std::string_view id, board::StoredBroadcast broadcast) {
  const auto stores = [id](const board::Channel& c) { return c.id == id && c.storagePolicy == 1; };
  if (std::none_of(store_.channels.begin(), store_.channels.end(), stores)) return;
  store_ = board::withBroadcast(std::move(store_), id, std::move(broadcast));
  save();
}

void ChannelDesk::flush() {
  if (saver_) saver_->flush();
}

}  // namespace corvlin::host::server
