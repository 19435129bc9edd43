// The request handler's routes of broadcast channels (broadcast_requests.hpp): the push
// service's checks of channel management and of a broadcast's head, and their answers.
#pragma once

#include <optional>
#include <string_view>

#include "host/board/channel_store.hpp"
#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

// For a path of channel management or broadcast, the route: checks in order the method (405
// with Allow), the bundle id (400 TopicDisallowed unless servedBundleId), the provider token
// (403, as for a push), then for a create the body (413 PayloadTooLarge over
// maxPushBodyBytes), for a broadcast apns-push-type (400 MissingPushType, InvalidPushType
// unless liveactivity), apns-priority (400 BadPriority unless 1, 5 or 10), apns-expiration
// (400 BadExpirationDate unless a whole number of seconds) and the body (400 PayloadEmpty, 413
// PayloadTooLarge). Refusals carry apns-request-id. None for any other path.
std::optional<Route> routeChannels(const Request& request, std::string_view path,
                                   const RandomId& freshId, const ProviderTokenJudge& judgeToken);

// A fresh channel id: base64 of 16 random bytes.
std::string channelIdText(const RandomId& bytes);

// A channel management answer: its status, apns-request-id, apns-channel-id when it names a
// channel, and its JSON body when it has one.
Response channelAnswerResponse(const board::ChannelAnswer& answer, std::string_view requestId);

// A refusal of channel management or a broadcast, with apns-request-id.
Refused channelRefused(const board::ChannelRefusal& refusal, std::string_view requestId);

}  // namespace corvlin::host::server
