#include "host/server/channel_desk.hpp"

#include <filesystem>
#include <system_error>
#include <utility>

#include "host/files/input.hpp"

namespace corvlin::host::server {
namespace {

constexpr std::string_view fileName = "channels.json";

}  // namespace

Result<ChannelDesk, std::string> ChannelDesk::inFolder(const std::string& folder) {
  auto opened = OutputFolder::openExisting(folder);
  if (!opened) return Failure{std::move(opened).error()};
  ChannelDesk desk;
  desk.folder_ = std::make_shared<OutputFolder>(std::move(opened).value());
  const std::string path = desk.folder_->shown(std::string(fileName));
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

std::optional<std::string> ChannelDesk::commit(board::ChannelStore next) {
  if (folder_) {
    auto written = folder_->replace(std::string(fileName), board::channelStoreJson(next));
    if (!written) return std::move(written).error();
  }
  store_ = std::move(next);
  return std::nullopt;
}

board::ChannelOutcome ChannelDesk::manage(const board::ChannelRequest& request) {
  board::ChannelStep step = board::manageChannel(store_, request);
  if (!step.changed) return std::move(step.outcome);
  if (auto failed = commit(std::move(step.store))) {
    return board::ChannelRefusal{500, "InternalServerError",
                                 "the channels could not be saved: " + *failed};
  }
  return std::move(step.outcome);
}

std::optional<std::string> ChannelDesk::keepBroadcast(std::string_view id,
                                                      board::StoredBroadcast broadcast) {
  board::ChannelStore next = board::withBroadcast(store_, id, std::move(broadcast));
  if (next == store_) return std::nullopt;
  return commit(std::move(next));
}

}  // namespace corvlin::host::server
