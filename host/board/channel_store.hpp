// The broadcast channels of the app the endpoint serves, as the push service keeps them: each
// channel's id, its message storage policy and, for a channel that stores one, its newest
// broadcast. A plain value; every change is a pure function of it, and the owner keeps it (in
// memory, and in the state folder when there is one).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "json/error.hpp"
#include "json/result.hpp"

namespace corvlin::host::board {

// The push service's bounds: channels an app may hold, and the length of a channel id.
inline constexpr std::size_t maxChannels = 10000;
inline constexpr std::size_t maxChannelIdBytes = 64;
// The channel store's file is read no further than this (10,000 channels with a stored
// broadcast of 4 KiB each, escaped, fit).
inline constexpr std::size_t maxChannelFileBytes = 96u << 20;

// A broadcast kept for activities that subscribe later: its body, when it came, and the
// instant after which it is no longer delivered (apns-expiration; none: kept).
struct StoredBroadcast {
  std::string body;
  double at = 0;
  std::optional<double> expires;

  friend bool operator==(const StoredBroadcast&, const StoredBroadcast&) = default;
};

struct Channel {
  std::string id;         // base64, as the service gave it in apns-channel-id
  int storagePolicy = 0;  // 0: no message stored, 1: the most recent message stored
  std::optional<StoredBroadcast> newest;

  friend bool operator==(const Channel&, const Channel&) = default;
};

struct ChannelStore {
  std::vector<Channel> channels;  // in the order they were made

  friend bool operator==(const ChannelStore&, const ChannelStore&) = default;
};

// The requests of channel management. An id is the apns-channel-id header's value, none when
// the header is missing.
struct CreateChannel {
  std::string body;     // {"message-storage-policy":0|1,"push-type":"LiveActivity"}
  std::string freshId;  // the id the channel gets, made by the caller from random bytes

  friend bool operator==(const CreateChannel&, const CreateChannel&) = default;
};
struct ReadChannel {
  std::optional<std::string> id;

  friend bool operator==(const ReadChannel&, const ReadChannel&) = default;
};
struct ReadAllChannels {
  friend bool operator==(const ReadAllChannels&, const ReadAllChannels&) = default;
};
struct DeleteChannel {
  std::optional<std::string> id;

  friend bool operator==(const DeleteChannel&, const DeleteChannel&) = default;
};
using ChannelRequest = std::variant<CreateChannel, ReadChannel, ReadAllChannels, DeleteChannel>;

// A request the service refuses: the status, the reason of its body, and what the check found
// beyond the reason (empty when nothing).
struct ChannelRefusal {
  unsigned status = 400;
  std::string reason;
  std::string detail;

  friend bool operator==(const ChannelRefusal&, const ChannelRefusal&) = default;
};
// A request the service answers: 201 with the new channel's id, 200 with a body, 204.
struct ChannelAnswer {
  unsigned status = 200;
  std::string channelId;  // for apns-channel-id: the channel made, read or deleted
  std::string body;       // JSON, or empty

  friend bool operator==(const ChannelAnswer&, const ChannelAnswer&) = default;
};
using ChannelOutcome = std::variant<ChannelAnswer, ChannelRefusal>;

struct ChannelStep {
  ChannelStore store;
  ChannelOutcome outcome;
  bool changed = false;  // the store is to be written again
};

// Carries out one channel management request, as the push service does: create (400
// InvalidPushType for a push type other than LiveActivity, 400 BadRequest for a body that is
// not such a configuration or a storage policy other than 0 or 1, 400 CannotCreateChannelConfig
// past maxChannels), read, read all, delete (400 MissingChannelId, BadChannelId,
// ChannelNotRegistered, a deleted channel included).
ChannelStep manageChannel(ChannelStore store, const ChannelRequest& request);

// The channel an id names (`named` is where it came from, for the detail: the apns-channel-id
// header, or a start's input-push-channel): MissingChannelId, BadChannelId (not base64, or
// longer than maxChannelIdBytes) or ChannelNotRegistered otherwise.
std::variant<const Channel*, ChannelRefusal> findChannel(
    const ChannelStore& store, const std::optional<std::string>& id,
    std::string_view named = "apns-channel-id");

// The channel `id` after a broadcast at `now`: one whose policy is 1 keeps it as its newest
// (an expiration at or before `now` keeps nothing). Unchanged when the channel stores nothing.
ChannelStore withBroadcast(ChannelStore store, std::string_view id, StoredBroadcast broadcast);

// The stored broadcast a subscriber of `id` receives at `now`: the newest, unless it expired.
std::optional<StoredBroadcast> storedFor(const ChannelStore& store, std::string_view id,
                                         double now);

// The store's file: {"channels":[{"id","message-storage-policy","newest":{"body","at",
// "expires"}}]}.
std::string channelStoreJson(const ChannelStore& store);
Result<ChannelStore, DecodingError> readChannelStore(std::string_view json);

}  // namespace corvlin::host::board
