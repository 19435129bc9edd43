// The handler's routes of channel management and broadcasts: the checks in the push service's
// order, what each route carries, and the answers' headers.
#include "host/server/broadcast_routes.hpp"

#include <gtest/gtest.h>

#include "handler_test_support.hpp"
#include "host/security/provider_token_check.hpp"

namespace corvlin::host::server {
namespace {

const std::string channel = "dHJ5IHRoaXM=";

Request request(std::string method, std::string target, Headers more = {},
                std::string body = "{}") {
  Headers headers{{"Host", "127.0.0.1:8443"}};
  headers.insert(headers.end(), more.begin(), more.end());
  return {std::move(method), std::move(target), std::move(headers), std::move(body)};
}

Request broadcast(Headers more = {{"apns-push-type", "liveactivity"}}, std::string body = "{}") {
  more.emplace_back("apns-channel-id", channel);
  return request("POST", "/4/broadcasts/apps/com.corvlin.app", std::move(more), std::move(body));
}

// "STATUS REASON" of a refusal, with its id header's name; or what was routed.
std::string routedAs(const Route& route) {
  if (const auto* refused = std::get_if<Refused>(&route)) {
    return std::to_string(refused->status) + " " + refused->reason + " " + refused->idHeader +
           (refused->allow.empty() ? "" : " allow " + refused->allow);
  }
  if (const auto* managing = std::get_if<ManageChannel>(&route)) {
    return std::visit(
        [](const auto& r) -> std::string {
          using R = std::decay_t<decltype(r)>;
          if constexpr (std::is_same_v<R, board::CreateChannel>) return "create " + r.body;
          if constexpr (std::is_same_v<R, board::ReadChannel>) return "read " + r.id.value_or("-");
          if constexpr (std::is_same_v<R, board::DeleteChannel>) {
            return "delete " + r.id.value_or("-");
          }
          return "read all";
        },
        managing->request);
  }
  if (const auto* sent = std::get_if<Broadcast>(&route)) {
    return "broadcast " + sent->channelId.value_or("-") +
           (sent->expiration ? " expires " + std::to_string(*sent->expiration) : "");
  }
  return "other";
}

TEST(BroadcastRoutes, ChecksInThePushServicesOrder) {
  const std::string apps = "/1/apps/com.corvlin.app";
  struct Case {
    const char* name;
    Request request;
    std::string routed;
  };
  const std::vector<Case> cases = {
      {"create", request("POST", apps + "/channels", {}, R"({"message-storage-policy":1})"),
       R"(create {"message-storage-policy":1})"},
      {"read", request("GET", apps + "/channels", {{"apns-channel-id", channel}}),
       "read " + channel},
      {"read without an id, for the store to refuse", request("GET", apps + "/channels"), "read -"},
      {"delete", request("DELETE", apps + "/channels", {{"apns-channel-id", channel}}),
       "delete " + channel},
      {"read all", request("GET", apps + "/all-channels"), "read all"},
      {"PUT of channels", request("PUT", apps + "/channels"),
       "405 MethodNotAllowed apns-request-id allow POST, GET, DELETE"},
      {"POST of all channels", request("POST", apps + "/all-channels"),
       "405 MethodNotAllowed apns-request-id allow GET"},
      {"GET of a broadcast", request("GET", "/4/broadcasts/apps/com.corvlin.app"),
       "405 MethodNotAllowed apns-request-id allow POST"},
      {"method before bundle id", request("PUT", "/1/apps/com.other.app/channels"),
       "405 MethodNotAllowed apns-request-id allow POST, GET, DELETE"},
      {"another app's channels", request("GET", "/1/apps/com.other.app/all-channels"),
       "400 TopicDisallowed apns-request-id"},
      {"another app's broadcast", request("POST", "/4/broadcasts/apps/com.other.app"),
       "400 TopicDisallowed apns-request-id"},
      {"a create over 4096 bytes", request("POST", apps + "/channels", {}, std::string(4097, ' ')),
       "413 PayloadTooLarge apns-request-id"},
      {"a broadcast", broadcast(), "broadcast " + channel},
      {"priorities 1, 5 and 10",
       broadcast({{"apns-push-type", "liveactivity"}, {"apns-priority", "1"}}),
       "broadcast " + channel},
      {"an expiration", broadcast({{"apns-push-type", "liveactivity"}, {"apns-expiration", "90"}}),
       "broadcast " + channel + " expires 90.000000"},
      {"no push type", broadcast({}), "400 MissingPushType apns-request-id"},
      {"alert push type", broadcast({{"apns-push-type", "alert"}}),
       "400 InvalidPushType apns-request-id"},
      {"priority 7", broadcast({{"apns-push-type", "liveactivity"}, {"apns-priority", "7"}}),
       "400 BadPriority apns-request-id"},
      {"an expiration that is no number",
       broadcast({{"apns-push-type", "liveactivity"}, {"apns-expiration", "soon"}}),
       "400 BadExpirationDate apns-request-id"},
      {"an empty broadcast", broadcast({{"apns-push-type", "liveactivity"}}, ""),
       "400 PayloadEmpty apns-request-id"},
      {"a broadcast over 4096 bytes",
       broadcast({{"apns-push-type", "liveactivity"}}, std::string(4097, ' ')),
       "413 PayloadTooLarge apns-request-id"},
      {"channels of no app", request("POST", "/1/apps//channels"), "404 BadPath apns-id"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(routedAs(route(c.request, site, fixedId)), c.routed);
  }
}

TEST(BroadcastRoutes, JudgesTheProviderTokenAfterTheBundleIdAndKeepsTheRequestId) {
  const auto refuseAll = [](std::optional<std::string_view>) {
    return security::ProviderTokenCheck{security::ProviderTokenOutcome::invalidProviderToken,
                                        "bad"};
  };
  const auto none = [](std::optional<std::string_view>) {
    return security::ProviderTokenCheck{security::ProviderTokenOutcome::acceptedWithoutToken, ""};
  };
  EXPECT_EQ(routedAs(route(request("GET", "/1/apps/com.corvlin.app/all-channels"), site, fixedId,
                           refuseAll)),
            "403 InvalidProviderToken apns-request-id");
  EXPECT_EQ(routedAs(route(request("GET", "/1/apps/com.other.app/all-channels"), site, fixedId,
                           refuseAll)),
            "400 TopicDisallowed apns-request-id");
  const Route accepted = route(broadcast(), site, fixedId, none);
  ASSERT_TRUE(std::holds_alternative<Broadcast>(accepted));
  EXPECT_TRUE(std::get<Broadcast>(accepted).withoutProviderToken);

  const Route fresh = route(broadcast(), site, fixedId);
  EXPECT_EQ(std::get<Broadcast>(fresh).requestId, fixedUuid);
  Request sent = broadcast({{"apns-push-type", "liveactivity"}, {"apns-request-id", "mine"}});
  EXPECT_EQ(std::get<Broadcast>(route(sent, site, fixedId)).requestId, "mine");
}

TEST(BroadcastRoutes, AnswersCarryTheRequestIdAndTheChannelId) {
  const Response created = channelAnswerResponse({201, channel, ""}, "R1");
  EXPECT_EQ(created.status, 201u);
  EXPECT_EQ(created.headers, (Headers{{"apns-request-id", "R1"}, {"apns-channel-id", channel}}));
  EXPECT_EQ(created.body, "");
  const Response all = channelAnswerResponse({200, "", R"({"channels":[]})"}, "R2");
  EXPECT_EQ(all.headers,
            (Headers{{"Content-Type", "application/json"}, {"apns-request-id", "R2"}}));
  const Response refused = refusalResponse(channelRefused({400, "BadChannelId", "x"}, "R3"));
  EXPECT_EQ(refused.body, R"({"reason":"BadChannelId"})");
  EXPECT_EQ(*findHeader(refused.headers, "apns-request-id"), "R3");
  EXPECT_EQ(findHeader(refused.headers, "apns-id"), nullptr);
  EXPECT_EQ(channelIdText(fixedId), "EjRWeJq83vABI0VniavN7w==");
}

}  // namespace
}  // namespace corvlin::host::server
