// corvlin-host serve on a free port, over real connections: its refusals, its verdicts, the
// events that follow, --watch, the site's guards, a crashing extension and timeouts.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <simdjson.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

// The warnings of a push sent over HTTP/1.1 without a provider token to a serve that checks none.
const std::string serviceWarnings = http1PushWarning + "," + noProviderTokenWarning;

std::string update(double timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

TEST(Serve, SaysWhereItServes) {
  ServeProcess serve({});
  EXPECT_TRUE(
      std::regex_match(serve.firstLine(), std::regex(R"(serving http://127\.0\.0\.1:\d+/)")))
      << serve.firstLine();
  EXPECT_GT(serve.port(), 0);
}

TEST(Serve, RefusesAsThePushServiceDoes) {
  ServeProcess serve({});
  struct Case {
    const char* name;
    std::string method;
    std::string target;
    HeaderList headers;
    std::string body;
    unsigned status;
    const char* reason;
  };
  const HeaderList good = {{"apns-push-type", "liveactivity"},
                           {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};
  auto plus = [&](HeaderList extra) {
    HeaderList h = good;
    h.insert(h.end(), extra.begin(), extra.end());
    return h;
  };
  const std::string body = update(1767225510, "A");
  const std::vector<Case> cases = {
      {"method", "PUT", "/3/device/0a", good, body, 405, "MethodNotAllowed"},
      {"path", "POST", "/3/devices/0a", good, body, 404, "BadPath"},
      {"token", "POST", "/3/device/xyz", good, body, 400, "BadDeviceToken"},
      {"push type",
       "POST",
       "/3/device/0a",
       {{"apns-topic", "t.push-type.liveactivity"}},
       body,
       400,
       "InvalidPushType"},
      {"topic",
       "POST",
       "/3/device/0a",
       {{"apns-push-type", "liveactivity"}},
       body,
       400,
       "MissingTopic"},
      {"topic suffix",
       "POST",
       "/3/device/0a",
       {{"apns-push-type", "liveactivity"}, {"apns-topic", "com.corvlin.app"}},
       body,
       400,
       "TopicDisallowed"},
      {"priority", "POST", "/3/device/0a", plus({{"apns-priority", "7"}}), body, 400,
       "BadPriority"},
      {"empty body", "POST", "/3/device/0a", good, "", 400, "PayloadEmpty"},
      {"large body", "POST", "/3/device/0a", good, std::string(4097, ' '), 413, "PayloadTooLarge"},
      {"body past the read bound", "POST", "/3/device/0a", good, std::string(200000, ' '), 413,
       "PayloadTooLarge"},
      {"header past its bound", "POST", "/3/device/0a",
       plus({{"x-filler", std::string(9000, 'x')}}), body, 431, "HeaderTooLarge"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer answer = send(serve.port(), c.method, c.target, c.headers, c.body);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, std::string(R"({"reason":")") + c.reason + "\"}");
  }
}

TEST(Serve, RefusesA65thToken) {
  ServeProcess serve({});
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(push(serve.port(), std::to_string(1000 + i), update(1767225510, "A")).status, 200u)
        << i;
  }
  const Answer refused = push(serve.port(), "ffff", update(1767225510, "A"));
  EXPECT_EQ(refused.status, 429u);
  EXPECT_EQ(refused.body, R"({"reason":"TooManyRequests"})");
  EXPECT_EQ(push(serve.port(), "1000", update(1767225511, "B")).status, 200u)
      << "a known token is still served";
  // Ended with a dismissal date already past, 1001 is gone from the phone: its slot is free.
  const Answer ended =
      push(serve.port(), "1001",
           R"({"aps":{"event":"end","timestamp":1767225512,"dismissal-date":1767225512}})");
  EXPECT_NE(ended.body.find(R"("outcome":"applied")"), std::string::npos) << ended.body;
  EXPECT_EQ(push(serve.port(), "ffff", update(1767225513, "A")).status, 200u);
  EXPECT_EQ(push(serve.port(), "fffe", update(1767225514, "A")).status, 429u);
}

TEST(Serve, SaysWhatThePhoneTruncatesOfTheDrawnStateOnItsDrawingEvent) {
  ServeProcess serve({});
  EventReader events(serve.port());
  const std::string tall =
      R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"Your order )"
      R"(from the Corner Bakery is being packed and will leave the shop shortly","body":"Three )"
      R"(sourdough loaves, a dozen cinnamon rolls and a birthday cake with candles","detail":)"
      R"("Courier: Alexandra, on a cargo bike, arriving at the back entrance"}}})";
  const Answer answer = push(serve.port(), "0a", tall);
  EXPECT_EQ(member(answer.body, {"outcome"}), "applied");
  EXPECT_EQ(member(answer.body, {"warnings"}), "[" + serviceWarnings + "]")
      << "the answer does not wait for the drawing, nor has its clipped warnings";
  const std::string drawn = events.nextDrawing();
  EXPECT_EQ(member(drawn, {"drawn"}), "1");
  EXPECT_NE(member(drawn, {"clipped"})
                .find(R"({"warning":{"kind":"truncated","codingPath":["aps","content-state",)"
                      R"("title"],"presentation":"lockScreen","shownLines":2,"lines":3,)"),
            std::string::npos)
      << drawn;
  // What fits is not warned of.
  const Answer fitsAnswer = push(serve.port(), "0a", update(1767225520, "Order 42"));
  EXPECT_EQ(member(fitsAnswer.body, {"warnings"}), "[" + serviceWarnings + "]");
  const std::string fits = events.nextDrawing();
  EXPECT_EQ(member(fits, {"drawn"}), "2");
  EXPECT_EQ(member(fits, {"clipped"}), "");
}

TEST(Serve, SendsAnEventAfterEachPush) {
  ServeProcess serve({});
  EventReader events(serve.port());
  ASSERT_EQ(push(serve.port(), "0A1B", update(1767225510, "Order 42")).status, 200u);
  const std::string event = events.next();
  EXPECT_EQ(member(event, {"token"}), "0a1b");
  EXPECT_EQ(member(event, {"push"}), "1");
  EXPECT_EQ(member(event, {"step", "event"}), "update");
  EXPECT_EQ(member(event, {"step", "outcome"}), "applied");
  EXPECT_EQ(member(event, {"step", "state"}), "active");
  EXPECT_EQ(member(event, {"drawn"}), "") << "the step event comes before the drawing";
  const std::string drawn = events.next();
  EXPECT_EQ(member(drawn, {"drawn"}), "1");
  EXPECT_EQ(member(drawn, {"state"}), "active");
  EXPECT_NE(member(drawn, {"presentations", "lockScreen"}), "");
  EXPECT_NE(member(drawn, {"html"}).find("Order 42"), std::string::npos);
  EXPECT_EQ(member(drawn, {"log"}), "") << "a drawing is no push of the log";

  ASSERT_EQ(push(serve.port(), "0a1b", "not json").status, 200u);
  const std::string rejected = events.next();
  EXPECT_EQ(member(rejected, {"step", "outcome"}), "rejected");
  EXPECT_EQ(member(rejected, {"step", "error", "kind"}), "dataCorrupted");
  EXPECT_EQ(member(rejected, {"state"}), "active") << "the activity's state after the step";

  ASSERT_EQ(push(serve.port(), "0a1b", update(1767225510, "x"), {{"apns-priority", "1"}}).status,
            400u);
  EXPECT_EQ(member(events.next(), {"refusal"}), "BadPriority");

  // A timestamp in milliseconds is applied, and says why every later push will be ignored.
  ASSERT_EQ(
      push(serve.port(), "0a1b",
           R"({"aps":{"event":"update","timestamp":1767225520000,"content-state":{"title":"m"}}})")
          .status,
      200u);
  const std::string warned = events.next();
  EXPECT_EQ(member(warned, {"step", "outcome"}), "applied");
  EXPECT_NE(member(warned, {"step", "warnings"}).find(R"("kind":"millisecondsInstant")"),
            std::string::npos)
      << warned;
  EXPECT_EQ(member(warned, {"log", "warnings"}), member(warned, {"step", "warnings"}));
}

TEST(Serve, GuardsAgainstOtherHostsAndOrigins) {
  ServeProcess serve({});
  const std::string port = std::to_string(serve.port());
  struct Case {
    const char* name;
    std::string method;
    std::string target;
    HeaderList headers;
    unsigned status;
  };
  const std::vector<Case> cases = {
      {"page by address", "GET", "/", {}, 200},
      {"page by localhost", "GET", "/", {{"Host", "localhost:" + port}}, 200},
      {"rebound name", "GET", "/", {{"Host", "attacker.example:" + port}}, 421},
      {"push by rebound name", "POST", "/3/device/0a", {{"Host", "evil:" + port}}, 421},
      {"page's own origin", "GET", "/", {{"Origin", "http://127.0.0.1:" + port}}, 200},
      {"foreign origin's push",
       "POST",
       "/3/device/0a",
       {{"Origin", "http://attacker.example"}},
       403},
      {"foreign origin's events", "GET", "/events", {{"Origin", "http://attacker.example"}}, 403},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(send(serve.port(), c.method, c.target, c.headers).status, c.status);
  }
  const Answer page = send(serve.port(), "GET", "/");
  EXPECT_NE(page.headers.at("content-security-policy").find("connect-src 'self'"),
            std::string::npos);
  EXPECT_NE(page.headers.at("content-security-policy").find("script-src 'sha256-"),
            std::string::npos);
}

TEST(Serve, RestartsACrashingExtension) {
  ServeProcess serve({"--extension", binPath("faulty-extension")}, {"CORVLIN_FAULT=warm-by-title"});
  EventReader events(serve.port());
  struct Case {
    const char* title;
    bool drawn;
    bool sameProcess;  // as the one that drew the push before
  };
  const std::vector<Case> cases = {{"fine", true, false},
                                   {"still fine", true, true},
                                   {"crash", false, false},
                                   {"fine again", true, false},
                                   {"and again", true, true}};
  double timestamp = 1767225510;
  std::vector<pid_t> before;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const Answer answer = push(serve.port(), "0a", update(timestamp++, c.title));
    EXPECT_EQ(member(answer.body, {"outcome"}), "applied");
    const std::string event = events.nextDrawing();
    const std::string html = member(event, {"html"});
    EXPECT_EQ(html.find("The extension failed") == std::string::npos, c.drawn);
    EXPECT_EQ(member(event, {"failure"}).empty(), c.drawn);
    const std::vector<pid_t> now = serve.children();
    EXPECT_EQ(now.size(), c.drawn ? 1u : 0u) << "one warm process, none after a crash";
    if (c.drawn && c.sameProcess) {
      EXPECT_EQ(now, before);
    }
    before = now;
  }
}

TEST(Serve, ClosesASlowClientAndServesTheOthers) {
  ServeProcess serve({"--client-timeout", "300"});
  boost::asio::io_context io;
  boost::asio::ip::tcp::socket slow(io);
  slow.connect({boost::asio::ip::make_address("127.0.0.1"), serve.port()});
  boundWaits(slow, 10);
  boost::asio::write(slow, boost::asio::buffer(std::string("POST /3/device/0a HTTP/1.1\r\nHo")));
  EXPECT_EQ(push(serve.port(), "0b", update(1767225510, "A")).status, 200u)
      << "served while another client stalls";
  char byte = 0;
  boost::system::error_code ec;
  boost::asio::read(slow, boost::asio::buffer(&byte, 1), ec);
  EXPECT_EQ(ec, boost::asio::error::eof) << "the stalled client is closed, not left waiting";
}

}  // namespace
}  // namespace corvlin::test
