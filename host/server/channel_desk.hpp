// Where the endpoint keeps the broadcast channels: the channel store (host/board/channel_store)
// in memory, and, with a state folder, in its file `channels.json`, read at the start and
// replaced atomically after every change (on the saver's thread, never the event loop's), so
// that channels outlive a restart as they do on the push service.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/board/channel_store.hpp"
#include "host/files/output_folder.hpp"
#include "host/server/channel_saver.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

class ChannelDesk {
 public:
  // Channels in memory only.
  ChannelDesk() = default;
  // Channels kept in `folder` (which exists): its channels.json read now, within
  // maxChannelFileBytes (none there: no channels yet). A file that cannot be read or does not
  // hold a channel store is an error that names it. A later write that fails is told to
  // `failed`, on the saver's thread; the channels stay as they are in memory, and the next
  // write that succeeds holds them all.
  static Result<ChannelDesk, std::string> inFolder(const std::string& folder,
                                                   ChannelSaver::Failed failed = {});

  // Carries out a channel management request.
  board::ChannelOutcome manage(const board::ChannelRequest& request);

  // Keeps a broadcast on `id` as its channel's newest, when the channel stores one.
  void keepBroadcast(std::string_view id, board::StoredBroadcast broadcast);

  // Returns once the changes made so far are in the folder (or their write has failed).
  void flush();

  const board::ChannelStore& store() const { return store_; }

 private:
  // Has the store written, when the desk keeps a folder.
  void save() const;

  board::ChannelStore store_;
  std::unique_ptr<ChannelSaver> saver_;  // null: in memory only
};

}  // namespace corvlin::host::server
