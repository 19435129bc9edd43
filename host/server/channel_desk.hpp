// Where the endpoint keeps the broadcast channels: the channel store (host/board/channel_store)
// in memory, and, with a state folder, in its file `channels.json`, read at the start and
// replaced atomically after every change, so that channels outlive a restart as they do on
// the push service.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/board/channel_store.hpp"
#include "host/files/output_folder.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

class ChannelDesk {
 public:
  // Channels in memory only.
  ChannelDesk() = default;
  // Channels kept in `folder` (which exists): its channels.json read now, within
  // maxChannelFileBytes (none there: no channels yet). A file that cannot be read or does not
  // hold a channel store is an error that names it.
  static Result<ChannelDesk, std::string> inFolder(const std::string& folder);

  // Carries out a channel management request. A change that cannot be written is answered 500
  // InternalServerError, with the write's failure as the detail, and is not made.
  board::ChannelOutcome manage(const board::ChannelRequest& request);

  // Keeps a broadcast on `id` as its channel's newest, when the channel stores one: the write's
  // failure, when it fails, and then nothing is kept.
  std::optional<std::string> keepBroadcast(std::string_view id, board::StoredBroadcast broadcast);

  const board::ChannelStore& store() const { return store_; }

 private:
  // Writes `next` (when kept in a folder) and makes it the store; the failure otherwise.
  std::optional<std::string> commit(board::ChannelStore next);

  board::ChannelStore store_;
  std::shared_ptr<OutputFolder> folder_;  // null: in memory only
};

}  // namespace corvlin::host::server
