// The requests of broadcast channels, as the request handler (push_handler.hpp) routes them:
// channel management, POST/GET/DELETE /1/apps/BUNDLE/channels and GET
// /1/apps/BUNDLE/all-channels, and broadcasts, POST /4/broadcasts/apps/BUNDLE.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/board/channel_store.hpp"

namespace corvlin::host::server {

// The app whose channels the endpoint keeps: a request for another bundle id is refused.
inline constexpr std::string_view servedBundleId = "com.corvlin.app";

// A channel management request the service takes, and its apns-request-id (the request's own,
// or a fresh one). A create's fresh channel id is the dispatcher's to make.
struct ManageChannel {
  board::ChannelRequest request;
  std::string requestId;

  friend bool operator==(const ManageChannel&, const ManageChannel&) = default;
};

// A broadcast whose head the service took: the channel it names (none: no apns-channel-id),
// its apns-request-id, the body, and apns-expiration when given.
struct Broadcast {
  std::optional<std::string> channelId;
  std::string requestId;
  std::string body;
  std::optional<double> expiration;
  bool withoutProviderToken = false;  // as for a Push
  bool overHttp1 = false;

  friend bool operator==(const Broadcast&, const Broadcast&) = default;
};

}  // namespace corvlin::host::server
