#include "host/server/local_subscribers.hpp"

#include <simdjson.h>

#include <cmath>

#include "host/board/channel_store.hpp"
#include "host/server/server_shared.hpp"
#include "json/decoding.hpp"
#include "json/parse.hpp"
#include "json/try.hpp"
#include "json/writer.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host::server {

enum class AddSubscribersKeys : std::uint8_t { channel, count };

}  // namespace corvlin::host::server

template <>
struct corvlin::json::CodingKeyStrings<corvlin::host::server::AddSubscribersKeys> {
  static constexpr std::array<std::string_view, 2> values{"channel", "count"};
};

namespace corvlin::host::server {
namespace {

struct AddRequest {
  std::string channel;
  std::size_t count = 0;
};

Result<AddRequest, DecodingError> readAddRequest(std::string_view body) {
  simdjson::dom::parser parser;
  CORVLIN_TRY(root, json::parse(parser, body));
  using K = AddSubscribersKeys;
  CORVLIN_TRY(container, json::KeyedDecodingContainer<K>::make(root, nullptr));
  CORVLIN_TRY(channel, container.decode<std::string>(K::channel));
  CORVLIN_TRY(count, container.decode<std::uint64_t>(K::count));
  if (count == 0) {
    return Failure{DecodingError{DecodingError::Kind::dataCorrupted,
                                 {std::string("count")},
                                 "count is 0; add at least one subscriber"}};
  }
  return AddRequest{std::move(channel), static_cast<std::size_t>(count)};
}

// The page's request refused: {"reason","detail"}, as every refusal is written.
Response refusal(unsigned status, std::string reason, std::string detail) {
  Refused refused(status, std::move(reason), "");
  refused.detail = std::move(detail);
  return refusalResponse(refused);
}

}  // namespace

std::string subscribersStartBody(const LocalSubscribers& subscribers, std::string_view channel,
                                 double now) {
  if (!subscribers.startAt) return R"({"aps":{}})";
  updates::Envelope start = subscribers.startAt(now);
  start.event = updates::Event::start;
  // In whole seconds, as a server sends it: an update sent the same second is not older.
  start.timestamp = std::floor(now);
  start.inputPushChannel = std::string(channel);
  auto coded = updates::encodeEnvelope(start);
  // An envelope decoded from JSON holds nothing JSON cannot carry.
  return coded ? std::move(coded).value() : std::string();
}

board::JoinResult addLocalSubscribers(ServerShared& shared, std::string_view channel,
                                      std::size_t count) {
  const double now = shared.now();
  const auto stored = board::storedFor(shared.channels.store(), channel, now);
  return shared.board.addSubscribers(channel, count,
                                     subscribersStartBody(shared.subscribers, channel, now), now,
                                     stored ? std::optional(stored->body) : std::nullopt);
}

Response addSubscribersFromPage(std::string_view body, ServerShared& shared) {
  auto request = readAddRequest(body);
  if (!request) {
    const DecodingError& error = request.error();
    return refusal(400, "BadRequest", describePath(error.codingPath) + ": " + error.description);
  }
  const std::string& channel = request.value().channel;
  const auto found = board::findChannel(shared.channels.store(), channel, "channel");
  if (const auto* refused = std::get_if<board::ChannelRefusal>(&found)) {
    return refusal(refused->status, refused->reason, refused->detail);
  }
  const board::JoinResult joined = addLocalSubscribers(shared, channel, request.value().count);
  if (const auto* refused = std::get_if<board::SubscribersRefused>(&joined)) {
    return refusal(refused->status, refused->reason, refused->detail);
  }
  const auto& added = std::get<board::SubscribersAdded>(joined);
  json::Writer w;
  w.beginObject();
  w.key("token");
  w.string(added.token);
  w.numberMember("first", static_cast<double>(added.first));
  w.numberMember("count", static_cast<double>(added.count));
  w.endObject();
  Response response;
  response.headers = {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}};
  response.body = w.take();
  return response;
}

}  // namespace corvlin::host::server
