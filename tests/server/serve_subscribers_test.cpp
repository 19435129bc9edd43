// corvlin-host serve's local subscribers of broadcast channels: serve --subscribers gives each
// channel made its group, the page adds more (POST /subscribers), a broadcast's answer counts
// every one of them, and each refusal of the page's request names what is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

const std::string apps = "/1/apps/com.corvlin.app";

std::string createChannel(std::uint16_t port) {
  const Answer made = send(port, "POST", apps + "/channels", {},
                           R"({"message-storage-policy":1,"push-type":"LiveActivity"})");
  EXPECT_EQ(made.status, 201u) << made.body;
  return made.headers.count("apns-channel-id") ? made.headers.at("apns-channel-id") : "";
}

Answer broadcast(std::uint16_t port, const std::string& channel, const std::string& body) {
  return send(port, "POST", "/4/broadcasts/apps/com.corvlin.app",
              {{"apns-channel-id", channel}, {"apns-push-type", "liveactivity"}}, body);
}

Answer addSubscribers(std::uint16_t port, const std::string& body, const HeaderList& more = {}) {
  return send(port, "POST", "/subscribers", more, body);
}

std::string update(const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(std::time(nullptr)) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

TEST(ServeSubscribers, EveryChannelMadeGetsItsSubscribersAndThePageAddsMore) {
  ServeProcess serve({"--subscribers", "2000"});
  const std::string channel = createChannel(serve.port());
  ASSERT_FALSE(channel.empty());
  EventReader events(serve.port());

  const Answer first = broadcast(serve.port(), channel, update("Kickoff"));
  EXPECT_EQ(first.status, 200u);
  EXPECT_EQ(member(first.body, {"subscribers"}), "2000");
  // The group's step stands for its 2000, on the event stream as on the page.
  std::string step;
  for (int i = 0; i < 10 && member(step, {"step", "event"}) != "update"; ++i) step = events.next();
  EXPECT_EQ(member(step, {"token"}), channel + "#1-2000");
  EXPECT_EQ(member(step, {"subscribers"}), "2000");
  EXPECT_EQ(member(step, {"step", "outcome"}), "applied");

  const Answer added =
      addSubscribers(serve.port(), R"({"channel":")" + channel + R"(","count":500})",
                     {{"Origin", "http://127.0.0.1:" + std::to_string(serve.port())}});
  EXPECT_EQ(added.status, 200u) << added.body;
  EXPECT_EQ(added.body, R"({"token":")" + channel + R"(#2001-2500","first":2001,"count":500})");
  // The stored broadcast reached the new ones as they joined; the next reaches all 2500.
  EXPECT_EQ(member(broadcast(serve.port(), channel, update("Half time")).body, {"subscribers"}),
            "2500");
  const Answer page = send(serve.port(), "GET", "/");
  EXPECT_NE(page.body.find("2000 local subscribers " + channel + "#1-2000"), std::string::npos);
  EXPECT_NE(page.body.find(R"(data-testid="channel-subscribers">2500<)"), std::string::npos);

  // Deleting the channel takes its subscribers with it.
  EXPECT_EQ(send(serve.port(), "DELETE", apps + "/channels", {{"apns-channel-id", channel}}).status,
            204u);
  EXPECT_EQ(send(serve.port(), "GET", "/").body.find("local subscribers " + channel),
            std::string::npos);
}

TEST(ServeSubscribers, ThePagesRequestIsRefusedWithWhatIsWrong) {
  ServeProcess serve({});
  const std::string channel = createChannel(serve.port());
  const std::uint16_t port = serve.port();
  const auto body = [&](const std::string& count) {
    return R"({"channel":")" + channel + R"(","count":)" + count + "}";
  };
  struct Case {
    const char* name;
    Answer answer;
    unsigned status;
    std::string reason;
    std::string detail;  // "" when the answer has none
  };
  const std::vector<Case> cases = {
      {"no subscribers", addSubscribers(port, body("0")), 400, "BadRequest",
       "count: count is 0; add at least one subscriber"},
      {"not a count", addSubscribers(port, body("\"many\"")), 400, "BadRequest",
       "count: Expected to decode UInt64 but found a string instead."},
      {"no channel", addSubscribers(port, R"({"count":1})"), 400, "BadRequest",
       "channel: No value associated with key \"channel\"."},
      {"an unknown channel", addSubscribers(port, R"({"channel":"bm9uZQ==","count":1})"), 400,
       "ChannelNotRegistered", "no channel bm9uZQ== exists: it was never made, or it was deleted"},
      {"past the channel's 10000", addSubscribers(port, body("10001")), 429, "TooManySubscribers",
       "channel " + channel +
           " holds 0 local subscribers, and 10001 more would pass the 10000 a channel holds"},
      {"GET", send(port, "GET", "/subscribers"), 405, "MethodNotAllowed", ""},
      {"another site's page", addSubscribers(port, body("1"), {{"Origin", "http://example.com"}}),
       403, "Forbidden", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.answer.status, c.status) << c.answer.body;
    EXPECT_EQ(member(c.answer.body, {"reason"}), c.reason);
    EXPECT_EQ(member(c.answer.body, {"detail"}), c.detail);
  }
}

}  // namespace
}  // namespace corvlin::test
