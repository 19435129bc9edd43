// Local subscribers of broadcast channels: activities the endpoint keeps for a channel as if
// many phones had subscribed to it, so that a broadcast is seen fanning out to a crowd. They
// are added in groups (board_state.hpp), by serve --subscribers for every channel made, and
// from the page (POST /subscribers).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "host/board/board_events.hpp"
#include "host/server/http_message.hpp"
#include "updates/envelope.hpp"

namespace corvlin::host::server {

struct ServerShared;

// What a group of local subscribers starts as at an instant (the app's activity: its attributes
// and content state), and how many join every channel as it is made (0: none).
struct LocalSubscribers {
  std::size_t perChannel = 0;
  std::function<updates::Envelope(double now)> startAt;
};

// The start a group of `channel` is started by at `now`: startAt's envelope as a `start` sent
// at `now`, naming the channel in input-push-channel (`{"aps":{}}`, which the rules reject,
// without startAt).
std::string subscribersStartBody(const LocalSubscribers& subscribers, std::string_view channel,
                                 double now);

// `count` local subscribers join `channel` (which exists), and take its stored broadcast.
board::JoinResult addLocalSubscribers(ServerShared& shared, std::string_view channel,
                                      std::size_t count);

// The page's request to add local subscribers, {"channel":ID,"count":N}: 200
// {"token","first","count"} of the group added; 400 {"reason":"BadRequest","detail"} for a body
// that is not such a request, and the channel's refusal (ChannelNotRegistered, ...) for one
// that names no channel; 429 {"reason":"TooManySubscribers","detail"} past the budget.
// Refusals are written by refusalResponse, as every refusal is.
Response addSubscribersFromPage(std::string_view body, ServerShared& shared);

}  // namespace corvlin::host::server
