#include "host/server/dispatch.hpp"

#include "host/server/broadcast_routes.hpp"
#include "host/server/local_subscribers.hpp"
#include "host/server/server_page.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host::server {

Warning missingProviderTokenWarning() {
  return Warning(Warning::Kind::missingProviderToken, {},
                 "The push has no authorization header; the push service refuses it with 403 "
                 "MissingProviderToken.",
                 "send \"authorization: bearer JWT\"; serve checks the token with --auth-key");
}

Warning http1PushWarning() {
  return Warning(Warning::Kind::http1Push, {},
                 "The push came over HTTP/1.1; the push service accepts only HTTP/2, so this "
                 "client cannot connect to it.",
                 "send it with an HTTP/2 client against serve --tls: curl --http2, "
                 "@parse/node-apn or apns2 (curl --http2-prior-knowledge without --tls)");
}

namespace {

// A refused request that was meant as a push: a POST, or another method sent to a device's
// path. (A browser's GET of /favicon.ico is refused 405 too, and is no push.)
// Channel management is no push, and is not logged.
bool isRefusedPush(const Request& request) {
  const bool management = request.target.find("/1/apps/") != std::string::npos;
  return (request.method == "POST" && !management) || !tokenOfTarget(request.target).empty();
}

// What a person needs beyond the reason of a refusal the site's own guards make, or a 405.
std::string refusalDetail(const Refused& refused, std::string_view method) {
  if (refused.status == 421) return "the Host header names another server than this one";
  if (refused.status == 403) return "the Origin header names another site than this one";
  if (refused.status == 405) {
    return "a push is POST /3/device/TOKEN; this was " + std::string(method);
  }
  return {};
}

Response manageChannel(const ManageChannel& managing, ServerShared& shared) {
  board::ChannelRequest request = managing.request;
  auto* creating = std::get_if<board::CreateChannel>(&request);
  if (creating != nullptr) creating->freshId = channelIdText(shared.randomId());
  const board::ChannelOutcome outcome = shared.channels.manage(request);
  if (const auto* refusal = std::get_if<board::ChannelRefusal>(&outcome)) {
    return refusalResponse(channelRefused(*refusal, managing.requestId));
  }
  const auto& answer = std::get<board::ChannelAnswer>(outcome);
  // A channel made gets serve --subscribers' local subscribers (a refusal is logged by the
  // board); a channel deleted loses its own, and its other subscribers hear no more of it.
  if (creating != nullptr && shared.subscribers.perChannel > 0) {
    addLocalSubscribers(shared, answer.channelId, shared.subscribers.perChannel);
  }
  if (std::holds_alternative<board::DeleteChannel>(request)) {
    shared.board.channelDeleted(answer.channelId, shared.now());
  }
  return channelAnswerResponse(answer, managing.requestId);
}

// A broadcast to a channel that exists, of an update or an end, is kept as the channel's
// newest (when it stores one), then taken by every subscriber's rules; its answer says how
// many it reached.
Response takeBroadcast(const Broadcast& broadcast, ServerShared& shared) {
  const double now = shared.now();
  const auto refuse = [&](const board::ChannelRefusal& refusal) {
    shared.board.noteRefusal("", refusal.status, refusal.reason, refusal.detail, now);
    return refusalResponse(channelRefused(refusal, broadcast.requestId));
  };
  const auto found = board::findChannel(shared.channels.store(), broadcast.channelId);
  if (const auto* refusal = std::get_if<board::ChannelRefusal>(&found)) return refuse(*refusal);
  const std::string& channel = *broadcast.channelId;
  const BroadcastJudgement judgement = judgeBroadcast(broadcast.body, now);
  if (judgement.event == updates::Event::start) {
    return refuse({400, "BadRequest",
                   "a broadcast updates or ends the activities of channel " + channel +
                       "; a start goes to a push-to-start token, naming the channel in "
                       "input-push-channel"});
  }
  // An apns-expiration of 0 asks for one delivery, never stored; any other is when the stored
  // broadcast expires.
  if (!judgement.error && broadcast.expiration != 0.0) {
    shared.channels.keepBroadcast(channel, {broadcast.body, now, broadcast.expiration});
  }
  std::vector<Warning> serviceWarnings;
  if (broadcast.overHttp1) serviceWarnings.push_back(http1PushWarning());
  if (broadcast.withoutProviderToken) serviceWarnings.push_back(missingProviderTokenWarning());
  std::vector<Warning> shown = serviceWarnings;
  shown.insert(shown.end(), judgement.warnings.begin(), judgement.warnings.end());
  const std::size_t reached = shared.board.broadcast(
      channel, broadcast.body, now, judgement.error ? "rejected" : "delivered", std::move(shown));
  Response response;
  response.status = 200;
  response.headers = {{"Content-Type", "application/json"},
                      {"apns-request-id", broadcast.requestId}};
  response.body = broadcastVerdictJson(judgement, reached, serviceWarnings);
  return response;
}

}  // namespace

Dispatched dispatch(const Request& request, ServerShared& shared,
                    std::function<void(Response)> later) {
  const bool headOnly = request.method == "HEAD";
  // What the token's check found beyond its reason, for the log of a 403.
  std::string tokenDetail;
  const Route routed =
      route(request, shared.site, shared.randomId(),
            [&shared, &tokenDetail](std::optional<std::string_view> authorization) {
              security::ProviderTokenCheck check =
                  shared.providerTokens.check(authorization, shared.now());
              tokenDetail = check.detail;
              return check;
            });
  if (const auto* refused = std::get_if<Refused>(&routed)) {
    if (isRefusedPush(request)) {
      // A 403 with an apns-id is the token's; the Origin's has none.
      const bool tokens = refused->status == 403 && !refused->apnsId.empty();
      shared.board.noteRefusal(tokenOfTarget(request.target), refused->status, refused->reason,
                               tokens ? tokenDetail : refusalDetail(*refused, request.method),
                               shared.now());
    }
    return AnswerNow{refusalResponse(*refused), headOnly};
  }
  if (std::holds_alternative<ShowPage>(routed)) {
    auto page = servePage(shared.board, shared.now(), shared.channels.store());
    Response response;
    response.headers = {{"Content-Type", "text/html; charset=utf-8"},
                        {"Content-Security-Policy", std::move(page.contentSecurityPolicy)},
                        {"Cache-Control", "no-store"},
                        {"X-Content-Type-Options", "nosniff"},
                        {"Referrer-Policy", "no-referrer"}};
    response.body = std::move(page.html);
    return AnswerNow{std::move(response), headOnly};
  }
  if (const auto* events = std::get_if<OpenEvents>(&routed)) {
    return StartEvents{headOnly, events->catchUp};
  }
  if (const auto* managing = std::get_if<ManageChannel>(&routed)) {
    return AnswerNow{manageChannel(*managing, shared), headOnly};
  }
  if (const auto* adding = std::get_if<AddSubscribers>(&routed)) {
    return AnswerNow{addSubscribersFromPage(adding->body, shared), false};
  }
  if (const auto* broadcast = std::get_if<Broadcast>(&routed)) {
    return AnswerNow{takeBroadcast(*broadcast, shared), false};
  }
  const auto& push = std::get<Push>(routed);
  // A start that subscribes its activity to a channel names one that exists.
  std::optional<board::Subscription> subscribes;
  if (auto envelope = updates::decodeEnvelope(push.body);
      envelope && envelope.value().event == updates::Event::start &&
      envelope.value().inputPushChannel) {
    const std::string& channel = *envelope.value().inputPushChannel;
    const auto found = board::findChannel(shared.channels.store(), channel, "input-push-channel");
    if (const auto* refusal = std::get_if<board::ChannelRefusal>(&found)) {
      shared.board.noteRefusal(push.token, refusal->status, refusal->reason, refusal->detail,
                               shared.now());
      return AnswerNow{refusalResponse({refusal->status, refusal->reason, push.apnsId}), headOnly};
    }
    const auto stored = board::storedFor(shared.channels.store(), channel, shared.now());
    subscribes = board::Subscription{channel, stored ? std::optional(stored->body) : std::nullopt};
  }
  // The board answers within the call, once the update rules have judged the push; the drawing
  // runs behind.
  std::vector<Warning> serviceWarnings;
  if (push.overHttp1) serviceWarnings.push_back(http1PushWarning());
  if (push.withoutProviderToken) serviceWarnings.push_back(missingProviderTokenWarning());
  shared.board.push(
      push.token, push.body, shared.now(),
      [later = std::move(later), apnsId = push.apnsId](PushResult result) {
        if (std::holds_alternative<TooManyActivities>(result)) {
          return later(refusalResponse({429, "TooManyRequests", apnsId}));
        }
        later(accepted(apnsId, verdictJson(std::get<TakenStep>(result))));
      },
      std::move(serviceWarnings), std::move(subscribes));
  return AnswerLater{};
}

}  // namespace corvlin::host::server
