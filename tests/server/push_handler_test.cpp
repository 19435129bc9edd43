// The handler's checks, one table per concern, without a socket.
#include "host/server/push_handler.hpp"

#include <gtest/gtest.h>

#include "handler_test_support.hpp"

namespace corvlin::host::server {
namespace {

Request push(std::string target = "/3/device/0a1B", std::string body = "{}") {
  return {"POST",
          std::move(target),
          {{"Host", "127.0.0.1:8443"},
           {"apns-push-type", "liveactivity"},
           {"apns-topic", "com.corvlin.app.push-type.liveactivity"}},
          std::move(body)};
}

Request without(Request request, std::string_view header) {
  std::erase_if(request.headers, [&](const auto& h) { return h.first == header; });
  return request;
}

Request with(Request request, std::string name, std::string value) {
  request = without(std::move(request), name);
  request.headers.emplace_back(std::move(name), std::move(value));
  return request;
}

TEST(PushHandler, RefusesInThePushServicesOrder) {
  struct Case {
    const char* name;
    Request request;
    unsigned status;
    const char* reason;
  };
  Request get = push();
  get.method = "GET";
  Request getBadPath = push("/elsewhere");
  getBadPath.method = "PUT";
  const std::vector<Case> cases = {
      {"method first, even on a bad path", getBadPath, 405, "MethodNotAllowed"},
      {"GET of a push path", get, 405, "MethodNotAllowed"},
      {"path shape", push("/3/devices/0a"), 404, "BadPath"},
      {"path without the version", push("/device/0a"), 404, "BadPath"},
      {"empty token", push("/3/device/"), 400, "BadDeviceToken"},
      {"token not hexadecimal", push("/3/device/0g"), 400, "BadDeviceToken"},
      {"token with a query", push("/3/device/0a?x=1"), 400, "BadDeviceToken"},
      {"token of 201 digits", push("/3/device/" + std::string(201, 'a')), 400, "BadDeviceToken"},
      {"token before push type", without(push("/3/device/zz"), "apns-push-type"), 400,
       "BadDeviceToken"},
      {"no push type", without(push(), "apns-push-type"), 400, "InvalidPushType"},
      {"alert push type", with(push(), "apns-push-type", "alert"), 400, "InvalidPushType"},
      {"push type before topic", without(with(push(), "apns-push-type", "x"), "apns-topic"), 400,
       "InvalidPushType"},
      {"no topic", without(push(), "apns-topic"), 400, "MissingTopic"},
      {"topic of another push type", with(push(), "apns-topic", "com.corvlin.app"), 400,
       "TopicDisallowed"},
      {"topic suffix alone is short", with(push(), "apns-topic", "push-type.liveactivity"), 400,
       "TopicDisallowed"},
      {"priority 1", with(push(), "apns-priority", "1"), 400, "BadPriority"},
      {"priority 05", with(push(), "apns-priority", "05"), 400, "BadPriority"},
      {"priority before body", with(push("/3/device/0a", ""), "apns-priority", "7"), 400,
       "BadPriority"},
      {"empty body", push("/3/device/0a", ""), 400, "PayloadEmpty"},
      {"4097 bytes", push("/3/device/0a", std::string(4097, ' ')), 413, "PayloadTooLarge"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Route routed = route(c.request, site, fixedId);
    ASSERT_TRUE(std::holds_alternative<Refused>(routed));
    const auto& refused = std::get<Refused>(routed);
    EXPECT_EQ(refused.status, c.status);
    EXPECT_EQ(refused.reason, c.reason);
    EXPECT_EQ(refused.apnsId, fixedUuid);
    const Response response = refusalResponse(refused);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.body, std::string("{\"reason\":\"") + c.reason + "\"}");
  }
}

TEST(PushHandler, AcceptsAPushAndKeepsItsApnsId) {
  struct Case {
    const char* name;
    Request request;
    std::string apnsId;
  };
  const std::vector<Case> cases = {
      {"fresh id", push(), fixedUuid},
      {"own id", with(push(), "apns-id", "6E2A6C1A-0000-4000-8000-000000000001"),
       "6E2A6C1A-0000-4000-8000-000000000001"},
      {"priority 5", with(push(), "apns-priority", "5"), fixedUuid},
      {"priority 10, header names in any case", with(push(), "APNS-PRIORITY", "10"), fixedUuid},
      {"4096 bytes", push("/3/device/0a1B", std::string(4096, ' ')), fixedUuid},
      {"empty id: a fresh one", with(push(), "apns-id", ""), fixedUuid},
      {"token of 200 digits", push("/3/device/" + std::string(200, 'a')), fixedUuid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Route routed = route(c.request, site, fixedId);
    ASSERT_TRUE(std::holds_alternative<Push>(routed));
    const auto& accepted = std::get<Push>(routed);
    EXPECT_EQ(accepted.apnsId, c.apnsId);
    EXPECT_EQ(accepted.body, c.request.body);
    EXPECT_EQ(accepted.token, c.request.target.substr(10));
  }
}

TEST(PushHandler, GuardsHostAndOrigin) {
  struct Case {
    const char* name;
    Headers headers;
    std::optional<unsigned> refusal;  // absent: the page is shown
    Site at = site;
  };
  const Site tls{"127.0.0.1", 8443, "https"};
  const std::vector<Case> cases = {
      {"bound address", {{"Host", "127.0.0.1:8443"}}, std::nullopt},
      {"localhost", {{"Host", "LocalHost:8443"}}, std::nullopt},
      {"IPv6 loopback", {{"Host", "[::1]:8443"}}, std::nullopt},
      {"no Host", {}, 421},
      {"rebound name", {{"Host", "attacker.example:8443"}}, 421},
      {"right name, wrong port", {{"Host", "localhost:8444"}}, 421},
      {"localhost without the port", {{"Host", "localhost"}}, std::nullopt},
      {"bound address without the port", {{"Host", "127.0.0.1"}}, std::nullopt},
      {"IPv6 loopback without the port", {{"Host", "[::1]"}}, std::nullopt},
      {"an empty port", {{"Host", "localhost:"}}, 421},
      {"a port alone", {{"Host", ":8443"}}, 421},
      {"empty Host", {{"Host", ""}}, 421},
      {"the default port of another site", {{"Host", "localhost:443"}}, 421},
      {"name with the port as prefix", {{"Host", "xlocalhost:8443"}}, 421},
      {"TLS: the page's own origin",
       {{"Host", "localhost:8443"}, {"Origin", "https://localhost:8443"}},
       std::nullopt,
       tls},
      {"TLS: the same host over plain HTTP",
       {{"Host", "localhost:8443"}, {"Origin", "http://localhost:8443"}},
       403,
       tls},
      {"plain: the same host over TLS",
       {{"Host", "localhost:8443"}, {"Origin", "https://localhost:8443"}},
       403},
      {"page's own origin",
       {{"Host", "localhost:8443"}, {"Origin", "http://localhost:8443"}},
       std::nullopt},
      {"another origin", {{"Host", "127.0.0.1:8443"}, {"Origin", "http://attacker.example"}}, 403},
      {"the other loopback name",
       {{"Host", "127.0.0.1:8443"}, {"Origin", "http://localhost:8443"}},
       403},
      {"opaque origin", {{"Host", "127.0.0.1:8443"}, {"Origin", "null"}}, 403},
      {"wrong Host and another origin: Host first",
       {{"Host", "attacker.example:8443"}, {"Origin", "http://attacker.example"}},
       421},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Route routed = route({"GET", "/", c.headers, ""}, c.at, fixedId);
    if (!c.refusal) {
      EXPECT_TRUE(std::holds_alternative<ShowPage>(routed));
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<Refused>(routed));
    EXPECT_EQ(std::get<Refused>(routed).status, *c.refusal);
    EXPECT_TRUE(std::get<Refused>(routed).apnsId.empty());
  }
  // A push from another origin is refused before any of the push service's checks.
  const Route foreign = route(with(push("/bad"), "Origin", "http://a.example"), site, fixedId);
  ASSERT_TRUE(std::holds_alternative<Refused>(foreign));
  EXPECT_EQ(std::get<Refused>(foreign).status, 403u);
}

TEST(PushHandler, RoutesThePageAndTheEvents) {
  const Headers host = {{"Host", "127.0.0.1:8443"}};
  EXPECT_TRUE(std::holds_alternative<ShowPage>(route({"GET", "/?x", host, ""}, site, fixedId)));
  EXPECT_EQ(route({"GET", "/events", host, ""}, site, fixedId), Route{OpenEvents{false}});
  // A reader reconnecting sends the id it was given, and asks for the catch-up.
  const Headers again = {{"Host", "127.0.0.1:8443"}, {"last-event-id", "1"}};
  EXPECT_EQ(route({"GET", "/events", again, ""}, site, fixedId), Route{OpenEvents{true}});
  const Route posted = route({"POST", "/events", host, ""}, site, fixedId);
  ASSERT_TRUE(std::holds_alternative<Refused>(posted));
  EXPECT_EQ(std::get<Refused>(posted).status, 404u);
}

TEST(PushHandler, AnswersHeadAsGetAndNamesWhatEach405Allows) {
  struct Case {
    const char* name;
    std::string method;
    std::string target;
    std::string allow;  // empty: the page or the events are routed
  };
  const std::vector<Case> cases = {
      {"HEAD of the page", "HEAD", "/", ""},
      {"HEAD of the events", "HEAD", "/events", ""},
      {"the page by absolute form", "GET", "http://127.0.0.1:8443/?x", ""},
      {"PUT of the page", "PUT", "/", "GET, HEAD"},
      {"DELETE of the events", "DELETE", "/events", "GET, HEAD"},
      {"HEAD of a push path", "HEAD", "/3/device/0a", "POST"},
      {"GET of a push path", "GET", "/3/device/0a", "POST"},
      {"OPTIONS of anything else", "OPTIONS", "*", "POST"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Route routed =
        route({c.method, c.target, {{"Host", "127.0.0.1:8443"}}, ""}, site, fixedId);
    if (c.allow.empty()) {
      EXPECT_FALSE(std::holds_alternative<Refused>(routed));
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<Refused>(routed));
    const Response response = refusalResponse(std::get<Refused>(routed));
    EXPECT_EQ(response.status, 405u);
    const std::string* allow = findHeader(response.headers, "Allow");
    ASSERT_NE(allow, nullptr);
    EXPECT_EQ(*allow, c.allow);
  }
  EXPECT_TRUE(std::holds_alternative<Push>(
      route(push("http://127.0.0.1:8443/3/device/0a1B"), site, fixedId)))
      << "a push by absolute form";
}

// The push service speaks HTTP/2 alone: a push that came over HTTP/1 says so, for its warning.
TEST(PushHandler, TellsAPushOverHttp1) {
  Request overHttp1 = push();
  overHttp1.version = HttpVersion::http1;
  const Route routed = route(overHttp1, site, fixedId);
  ASSERT_TRUE(std::holds_alternative<Push>(routed));
  EXPECT_TRUE(std::get<Push>(routed).overHttp1);
  const Route overHttp2 = route(push(), site, fixedId);
  ASSERT_TRUE(std::holds_alternative<Push>(overHttp2));
  EXPECT_FALSE(std::get<Push>(overHttp2).overHttp1);
}

// Over HTTP/2, :authority stands for Host; a host field beside it must name the same, as
// HTTP/1.1 holds an absolute-form target to its Host.
TEST(PushHandler, RefusesAnHttp2HostFieldThatDisagreesWithItsAuthority) {
  struct Case {
    const char* name;
    std::string authority;
    Headers fields;
    bool refused;
  };
  const std::vector<Case> cases = {
      {":authority alone", "localhost", {{"apns-topic", "x"}}, false},
      {"host alone", "", {{"host", "localhost"}}, false},
      {"the same authority", "localhost:8443", {{"host", "localhost:8443"}}, false},
      {"the same in another case", "LocalHost", {{"host", "localhost"}}, false},
      {"another host", "localhost", {{"host", "evil.example"}}, true},
      {"another port", "localhost:8443", {{"host", "localhost:8444"}}, true},
      {"the port left out of one", "localhost:8443", {{"host", "localhost"}}, true},
      {"an empty host", "localhost", {{"host", ""}}, true},
      {"two host fields", "", {{"host", "localhost"}, {"host", "localhost"}}, true},
      {"two, one of them the authority",
       "localhost",
       {{"host", "localhost"}, {"Host", "evil.example"}},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto refused = refuseHttp2Authority(c.authority, c.fields);
    EXPECT_EQ(refused.has_value(), c.refused);
    if (refused) {
      EXPECT_EQ(*refused, (Refused{400, "BadRequest", ""}));
    }
  }
}

TEST(PushHandler, LogsARefusedTokenAsUtf8) {
  EXPECT_EQ(tokenOfTarget("/3/device/\xff\xfe\xc3"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(tokenOfTarget("/3/device/0a\xC3\xA9"), "0a\xC3\xA9");
  EXPECT_EQ(tokenOfTarget("http://127.0.0.1:8443/3/device/0g"), "0g");
  EXPECT_EQ(tokenOfTarget("/elsewhere"), "");
}

TEST(PushHandler, WritesVersionFourUuids) {
  RandomId ones;
  ones.fill(0xff);
  EXPECT_EQ(uuidText(ones), "FFFFFFFF-FFFF-4FFF-BFFF-FFFFFFFFFFFF");
  EXPECT_EQ(uuidText(RandomId{}), "00000000-0000-4000-8000-000000000000");
}

}  // namespace
}  // namespace corvlin::host::server

namespace corvlin::host::server {
namespace {

// The provider token is judged right after the device token, and its verdict decides: a
// refusal is 403 with the verdict's reason; a push taken without one says so.
TEST(PushHandler, JudgesTheProviderTokenRightAfterTheDeviceToken) {
  using security::ProviderTokenOutcome;
  struct Case {
    const char* name;
    Request request;
    ProviderTokenOutcome verdict;
    std::optional<std::string> seen;  // the authorization the judge is given
    unsigned status;                  // 0: the push is taken
    const char* reason;
  };
  const Request signed_ = with(push(), "Authorization", "bearer a.b.c");
  const std::vector<Case> cases = {
      {"missing", push(), ProviderTokenOutcome::missingProviderToken, std::nullopt, 403,
       "MissingProviderToken"},
      {"invalid", signed_, ProviderTokenOutcome::invalidProviderToken, "bearer a.b.c", 403,
       "InvalidProviderToken"},
      {"expired", signed_, ProviderTokenOutcome::expiredProviderToken, "bearer a.b.c", 403,
       "ExpiredProviderToken"},
      {"accepted", signed_, ProviderTokenOutcome::accepted, "bearer a.b.c", 0, ""},
      {"taken without one", push(), ProviderTokenOutcome::acceptedWithoutToken, std::nullopt, 0,
       ""},
      {"a bad device token comes first", with(push("/3/device/zz"), "authorization", "x"),
       ProviderTokenOutcome::invalidProviderToken, std::nullopt, 400, "BadDeviceToken"},
      {"before the push type", without(signed_, "apns-push-type"),
       ProviderTokenOutcome::expiredProviderToken, "bearer a.b.c", 403, "ExpiredProviderToken"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string> seen;
    const Route routed =
        route(c.request, site, fixedId, [&](std::optional<std::string_view> authorization) {
          if (authorization) seen = std::string(*authorization);
          return security::ProviderTokenCheck{c.verdict, ""};
        });
    EXPECT_EQ(seen, c.seen);
    if (c.status == 0) {
      ASSERT_TRUE(std::holds_alternative<Push>(routed));
      EXPECT_EQ(std::get<Push>(routed).withoutProviderToken,
                c.verdict == ProviderTokenOutcome::acceptedWithoutToken);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<Refused>(routed));
    EXPECT_EQ(std::get<Refused>(routed).status, c.status);
    EXPECT_EQ(std::get<Refused>(routed).reason, c.reason);
    EXPECT_EQ(std::get<Refused>(routed).apnsId, fixedUuid);
  }
}

}  // namespace
}  // namespace corvlin::host::server
