#include "host/board/channel_store.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "json/coding_key.hpp"
#include "json/decoding.hpp"
#include "json/parse.hpp"
#include "json/writer.hpp"

namespace corvlin::host::board {

enum class ChannelConfigKeys : std::uint8_t { storagePolicy, pushType };
enum class ChannelStoreKeys : std::uint8_t { channels };
enum class StoredChannelKeys : std::uint8_t { id, storagePolicy, newest };
enum class StoredBroadcastKeys : std::uint8_t { body, at, expires };

}  // namespace corvlin::host::board

template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::board::ChannelConfigKeys> {
  static constexpr std::array<std::string_view, 2> values{"message-storage-policy", "push-type"};
};
template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::board::ChannelStoreKeys> {
  static constexpr std::array<std::string_view, 1> values{"channels"};
};
template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::board::StoredChannelKeys> {
  static constexpr std::array<std::string_view, 3> values{"id", "message-storage-policy", "newest"};
};
template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::board::StoredBroadcastKeys> {
  static constexpr std::array<std::string_view, 3> values{"body", "at", "expires"};
};

namespace corvlin::host::board {
namespace {

template <class Key>
using Container = json::KeyedDecodingContainer<Key>;
using json::element;
using json::PathNode;

bool isBase64(std::string_view id) {
  const auto padding = id.find('=');
  const std::string_view digits = id.substr(0, padding);
  const bool padded =
      padding == std::string_view::npos ||
      (id.size() - padding <= 2 && id.find_first_not_of('=', padding) == std::string_view::npos);
  return !digits.empty() && padded && id.size() % 4 == 0 &&
         std::all_of(digits.begin(), digits.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '+' || c == '/';
         });
}

ChannelRefusal refusal(std::string reason, std::string detail) {
  return {400, std::move(reason), std::move(detail)};
}

// The storage policy: 0 or 1, as a whole number.
Result<int, DecodingError> readPolicy(element value, const PathNode* at) {
  CORVLIN_TRY(policy, json::ValueCoder<double>::read(value, at));
  if (policy == 0 || policy == 1) return static_cast<int>(policy);
  return Failure{json::dataCorrupted(
      at,
      "The message storage policy is 0 (no message stored) or 1 (the most recent message "
      "stored).")};
}

struct Configuration {
  int storagePolicy = 0;
  std::string pushType;
};

Result<Configuration, DecodingError> readConfiguration(std::string_view body) {
  simdjson::dom::parser parser;
  CORVLIN_TRY(root, json::parse(parser, body));
  using K = ChannelConfigKeys;
  CORVLIN_TRY(container, Container<K>::make(root, nullptr));
  CORVLIN_TRY(policy, container.decode(K::storagePolicy, readPolicy, "Int"));
  CORVLIN_TRY(pushType, container.decode<std::string>(K::pushType));
  return Configuration{policy, std::move(pushType)};
}

// ASCII letters compared without regard to case: node-apn sends "liveactivity".
bool isLiveActivity(std::string_view pushType) {
  static constexpr std::string_view name = "liveactivity";
  return pushType.size() == name.size() &&
         std::equal(pushType.begin(), pushType.end(), name.begin(), [](char a, char b) {
           return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
         });
}

std::string configurationJson(const Channel& channel) {
  json::Writer out;
  out.beginObject();
  out.key("message-storage-policy");
  out.number(channel.storagePolicy);
  out.key("push-type");
  out.string("LiveActivity");
  out.endObject();
  return out.take();
}

ChannelOutcome create(ChannelStore& store, const CreateChannel& request, bool& changed) {
  auto configuration = readConfiguration(request.body);
  if (!configuration) {
    return refusal("BadRequest",
                   "the channel's configuration: " + errorText(configuration.error()));
  }
  if (!isLiveActivity(configuration.value().pushType)) {
    return refusal("InvalidPushType", "a channel's push-type is LiveActivity, not \"" +
                                          configuration.value().pushType + "\"");
  }
  if (store.channels.size() >= maxChannels) {
    return refusal("CannotCreateChannelConfig", "the app has " + std::to_string(maxChannels) +
                                                    " channels, the most it may hold; delete "
                                                    "one before making another");
  }
  store.channels.push_back({request.freshId, configuration.value().storagePolicy, std::nullopt});
  changed = true;
  return ChannelAnswer{201, request.freshId, ""};
}

}  // namespace

std::variant<const Channel*, ChannelRefusal> findChannel(const ChannelStore& store,
                                                         const std::optional<std::string>& id,
                                                         std::string_view named) {
  if (!id || id->empty()) {
    return refusal("MissingChannelId", "the request names no channel in " + std::string(named));
  }
  if (id->size() > maxChannelIdBytes || !isBase64(*id)) {
    return refusal("BadChannelId", std::string(named) +
                                       " is not a channel id in base64 of at most " +
                                       std::to_string(maxChannelIdBytes) + " characters");
  }
  const auto found = std::find_if(store.channels.begin(), store.channels.end(),
                                  [&id](const Channel& channel) { return channel.id == *id; });
  if (found == store.channels.end()) {
    return refusal("ChannelNotRegistered",
                   "no channel " + *id + " exists: it was never made, or it was deleted");
  }
  return &*found;
}

ChannelStep manageChannel(ChannelStore store, const ChannelRequest& request) {
  bool changed = false;
  ChannelOutcome outcome;
  if (const auto* creating = std::get_if<CreateChannel>(&request)) {
    outcome = create(store, *creating, changed);
  } else if (std::holds_alternative<ReadAllChannels>(request)) {
    json::Writer out;
    out.beginObject();
    out.key("channels");
    out.beginArray();
    for (const Channel& channel : store.channels) out.string(channel.id);
    out.endArray();
    out.endObject();
    outcome = ChannelAnswer{200, "", out.take()};
  } else {
    const auto& id = std::holds_alternative<ReadChannel>(request)
                         ? std::get<ReadChannel>(request).id
                         : std::get<DeleteChannel>(request).id;
    const auto found = findChannel(store, id);
    if (const auto* refused = std::get_if<ChannelRefusal>(&found)) {
      outcome = *refused;
    } else if (std::holds_alternative<ReadChannel>(request)) {
      outcome = ChannelAnswer{200, *id, configurationJson(*std::get<const Channel*>(found))};
    } else {
      std::erase_if(store.channels, [&id](const Channel& channel) { return channel.id == *id; });
      changed = true;
      outcome = ChannelAnswer{204, *id, ""};
    }
  }
  return {std::move(store), std::move(outcome), changed};
}

ChannelStore withBroadcast(ChannelStore store, std::string_view id, StoredBroadcast broadcast) {
  for (Channel& channel : store.channels) {
    if (channel.id != id || channel.storagePolicy != 1) continue;
    if (broadcast.expires && *broadcast.expires <= broadcast.at) {
      channel.newest.reset();
    } else {
      channel.newest = std::move(broadcast);
    }
    break;
  }
  return store;
}

std::optional<StoredBroadcast> storedFor(const ChannelStore& store, std::string_view id,
                                         double now) {
  for (const Channel& channel : store.channels) {
    if (channel.id != id || !channel.newest) continue;
    if (channel.newest->expires && *channel.newest->expires <= now) return std::nullopt;
    return channel.newest;
  }
  return std::nullopt;
}

std::string channelStoreJson(const ChannelStore& store) {
  json::Writer out;
  out.beginObject();
  out.key("channels");
  out.beginArray();
  for (const Channel& channel : store.channels) {
    out.beginObject();
    out.key("id");
    out.string(channel.id);
    out.key("message-storage-policy");
    out.number(channel.storagePolicy);
    if (channel.newest) {
      out.key("newest");
      out.beginObject();
      out.key("body");
      out.string(channel.newest->body);
      out.key("at");
      out.number(channel.newest->at);
      if (channel.newest->expires) {
        out.key("expires");
        out.number(*channel.newest->expires);
      }
      out.endObject();
    }
    out.endObject();
  }
  out.endArray();
  out.endObject();
  return out.take();
}

namespace {

Result<StoredBroadcast, DecodingError> readStored(element value, const PathNode* at) {
  using K = StoredBroadcastKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(body, container.decode<std::string>(K::body));
  CORVLIN_TRY(when, container.decode<double>(K::at));
  CORVLIN_TRY(expires, container.decodeIfPresent<double>(K::expires));
  return StoredBroadcast{std::move(body), when, expires};
}

Result<Channel, DecodingError> readChannel(element value, const PathNode* at) {
  using K = StoredChannelKeys;
  CORVLIN_TRY(container, Container<K>::make(value, at));
  CORVLIN_TRY(id, container.decode<std::string>(K::id));
  CORVLIN_TRY(policy, container.decode(K::storagePolicy, readPolicy, "Int"));
  CORVLIN_TRY(newest, container.decodeIfPresent(K::newest, readStored));
  return Channel{std::move(id), policy, std::move(newest)};
}

}  // namespace

Result<ChannelStore, DecodingError> readChannelStore(std::string_view json) {
  simdjson::dom::parser parser;
  CORVLIN_TRY(root, json::parse(parser, json));
  using K = ChannelStoreKeys;
  CORVLIN_TRY(container, Container<K>::make(root, nullptr));
  CORVLIN_TRY(channels, container.decode(
                            K::channels,
                            [](element value, const PathNode* at) {
                              return json::decodeArray(value, at, readChannel);
                            },
                            "Array"));
  return ChannelStore{std::move(channels)};
}

}  // namespace corvlin::host::board
