// The HTTP/2 session glue without a socket: an nghttp2 client in memory talks to an H2Session,
// and each test plays the server's part, taking requests and answering them.
#include "host/server/h2_session.hpp"

#include <gtest/gtest.h>
#include <nghttp2/nghttp2.h>

#include "h2_pair.hpp"

namespace corvlin::test {
namespace {

TEST(H2Session, TakesWholeRequestsWithAuthorityAsHostAndAnswersThem) {
  Pair pair;
  const auto post = pair.client.submit("POST", "/3/device/0a", "localhost:8443", pushFields, "{}");
  const auto get = pair.client.submit("GET", "/", "", {{"host", "127.0.0.1"}});
  pair.exchange();
  // In the order they came whole: the GET with its head, the POST with its body after it.
  std::vector<H2Request> requests = pair.server.takeRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].stream, get);
  EXPECT_EQ(requests[0].request.headers,
            (host::server::Headers{{"host", "127.0.0.1"}}));  // no :authority: Host as sent
  EXPECT_EQ(requests[1].stream, post);
  EXPECT_EQ(requests[1].request.method, "POST");
  EXPECT_EQ(requests[1].request.target, "/3/device/0a");
  EXPECT_EQ(requests[1].request.body, "{}");
  const host::server::Headers expected = {{"Host", "localhost:8443"},
                                          {"apns-push-type", "liveactivity"},
                                          {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};
  EXPECT_EQ(requests[1].request.headers, expected);
  EXPECT_TRUE(pair.server.takeRequests().empty()) << "each request is taken once";

  EXPECT_TRUE(pair.server.respond(post, json(200, R"({"outcome":"applied"})"), false));
  EXPECT_TRUE(pair.server.respond(get, json(200, "page"), true));
  EXPECT_FALSE(pair.server.respond(post, json(500, ""), false)) << "answered once";
  pair.exchange();
  const H2Answer& answer = pair.client.answer(post);
  EXPECT_EQ(answer.status, 200u);
  EXPECT_EQ(answer.body, R"({"outcome":"applied"})");
  EXPECT_EQ(answer.headers.at("content-type"), "application/json");
  EXPECT_EQ(answer.headers.at("content-length"), "21");
  EXPECT_TRUE(answer.closed);
  const H2Answer& head = pair.client.answer(get);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(head.headers.at("content-length"), "4") << "a HEAD keeps the length";
  EXPECT_EQ(pair.client.serverSetting(NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS), 8u);
  EXPECT_EQ(pair.client.serverSetting(NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE), 512u);
}

// What the session refuses itself, before any request is handed over.
TEST(H2Session, RefusesWhatPassesItsBoundsOnTheStreamAlone) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
    unsigned status;  // 0: handed over as a request
    const char* reason;
    bool reset;  // the stream is then reset (NO_ERROR), for a client still sending
  };
  const std::vector<Case> cases = {
      {"within the bounds", pushFields, std::string(1024, 'b'), 0, "", false},
      {"a header list too large",
       {{"x-padding", std::string(600, 'a')}},
       "",
       431,
       "HeaderTooLarge",
       false},
      {"and with a body to come",
       {{"x-padding", std::string(600, 'a')}},
       "{}",
       431,
       "HeaderTooLarge",
       true},
      {"a body too large", pushFields, std::string(1025, 'b'), 413, "PayloadTooLarge", true},
      // :authority stands for Host: a host field beside it that names another is malformed.
      {"a host field naming another authority",
       {{"host", "evil.example"}},
       "",
       400,
       "BadRequest",
       false},
      {"and with a body to come", {{"host", "evil.example"}}, "{}", 400, "BadRequest", true},
      {"a host field naming the same authority", {{"host", "localhost"}}, "{}", 0, "", false},
      {"a body far too large", pushFields, std::string(200000, 'b'), 413, "PayloadTooLarge", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair;
    const auto stream = pair.client.submit("POST", "/3/device/0a", "localhost", c.fields, c.body);
    pair.exchange();
    const auto requests = pair.server.takeRequests();
    if (c.status == 0) {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0].request.body.size(), c.body.size());
      continue;
    }
    EXPECT_TRUE(requests.empty());
    const H2Answer& answer = pair.client.answer(stream);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, std::string(R"({"reason":")") + c.reason + "\"}");
    EXPECT_TRUE(answer.closed);
    EXPECT_EQ(answer.resetCode, NGHTTP2_NO_ERROR);
    EXPECT_TRUE(pair.alive) << "the connection goes on";
    // The next request on the connection is served.
    const auto next = pair.client.submit("GET", "/", "localhost");
    pair.exchange();
    ASSERT_EQ(pair.server.takeRequests().size(), 1u);
    pair.server.respond(next, json(200, "ok"), false);
    pair.exchange();
    EXPECT_EQ(pair.client.answer(next).status, 200u);
  }
}

TEST(H2Session, LeavesOutRequestsResetBeforeTheyWereTaken) {
  Pair pair;
  const auto kept = pair.client.submit("POST", "/3/device/0a", "localhost", pushFields, "{}");
  const auto dropped = pair.client.submit("POST", "/3/device/0b", "localhost", pushFields, "{}");
  pair.client.flush();
  pair.client.reset(dropped);
  pair.exchange();
  const auto requests = pair.server.takeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].stream, kept);
  EXPECT_EQ(pair.server.takeClosedStreams(), std::vector<std::int32_t>{dropped});
  EXPECT_FALSE(pair.server.respond(dropped, json(200, "late"), false)) << "its stream is gone";
}

// More resets than the bound with no answer between: GOAWAY ENHANCE_YOUR_CALM. Resets with
// answers between them never add up.
TEST(H2Session, SendsAwayAClientThatResetsStreamsInALoop) {
  struct Case {
    const char* name;
    int rounds;
    int resetsPerRound;
    bool answerBetween;
    bool sentAway;
  };
  const std::vector<Case> cases = {
      {"within the bound", 1, 4, false, false},
      {"one over", 1, 5, false, true},
      {"answers between", 5, 4, true, false},
      {"no answers between", 5, 4, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair;
    for (int round = 0; round < c.rounds && pair.alive; ++round) {
      for (int i = 0; i < c.resetsPerRound; ++i) {
        const auto stream =
            pair.client.submit("POST", "/3/device/0a", "localhost", pushFields, "", false);
        pair.client.flush();
        pair.client.reset(stream);
        pair.client.flush();
      }
      if (c.answerBetween) {
        const auto stream = pair.client.submit("GET", "/", "localhost");
        pair.exchange();
        for (auto& request : pair.server.takeRequests()) {
          pair.server.respond(request.stream, json(200, "ok"), false);
        }
        pair.exchange();
        EXPECT_EQ(pair.client.answer(stream).status, 200u);
      }
    }
    EXPECT_EQ(pair.alive, !c.sentAway);
    EXPECT_EQ(pair.client.untilClosed(), c.sentAway ? NGHTTP2_ENHANCE_YOUR_CALM : -1);
    if (c.sentAway) {
      EXPECT_TRUE(pair.server.finished());
    }
  }
}

TEST(H2Session, StreamsEventsAndResetsAReaderThatFellBehind) {
  Pair pair;
  const auto stream = pair.client.submit("GET", "/events", "localhost");
  pair.exchange();
  ASSERT_EQ(pair.server.takeRequests().size(), 1u);
  ASSERT_TRUE(pair.server.openEvents(stream));
  auto text = [](std::string t) { return std::make_shared<const std::string>(std::move(t)); };
  pair.server.sendOnEvents(stream, text("retry: 1000\n\n"), false);
  pair.server.sendOnEvents(stream, text(R"({"n":1})"), true);
  pair.server.heartbeat();  // something waits: no comment
  pair.exchange();
  pair.server.heartbeat();  // nothing waits: a comment line
  pair.server.sendOnEvents(stream, text(std::string(40000, 'x')), true);
  pair.exchange();
  const H2Answer& answer = pair.client.answer(stream);
  EXPECT_EQ(answer.status, 200u);
  EXPECT_EQ(answer.headers.at("content-type"), "text/event-stream");
  EXPECT_EQ(answer.body,
            "retry: 1000\n\ndata: {\"n\":1}\n\n:\n\ndata: " + std::string(40000, 'x') + "\n\n");
  EXPECT_FALSE(answer.closed) << "an event stream never ends by itself";
  EXPECT_TRUE(pair.server.hasEventStreams());

  // A reader that takes nothing: four blocks wait, the fifth resets the stream.
  for (int i = 0; i < 5; ++i) pair.server.sendOnEvents(stream, text("{}"), true);
  pair.exchange();
  EXPECT_TRUE(pair.client.answer(stream).closed);
  EXPECT_EQ(pair.client.answer(stream).resetCode, NGHTTP2_CANCEL);
  EXPECT_EQ(pair.server.takeClosedStreams(), std::vector<std::int32_t>{stream});
  EXPECT_TRUE(pair.alive);
}

TEST(H2Session, SaysGoawayAndEndsWhenBothSidesAreDone) {
  Pair pair;
  const auto stream = pair.client.submit("POST", "/3/device/0a", "localhost", pushFields, "{}");
  pair.exchange();
  ASSERT_EQ(pair.server.takeRequests().size(), 1u);
  EXPECT_EQ(pair.server.openStreams(), 1u);
  pair.server.goAway();
  pair.server.respond(stream, json(200, "ok"), false);
  EXPECT_EQ(pair.client.untilClosed(), NGHTTP2_NO_ERROR);
  EXPECT_EQ(pair.client.answer(stream).status, 200u) << "the open stream still finishes";
  EXPECT_EQ(pair.server.openStreams(), 0u);
}

TEST(H2Session, EndsOnBytesThatAreNoHttp2) {
  H2Session session(smallLimits());
  EXPECT_FALSE(session.receive("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"));
  EXPECT_FALSE(session.receive("PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n")) << "ended for good";
  std::string out;
  while (session.takeOutput(out, 1 << 16)) {
  }
  EXPECT_TRUE(session.finished());
  EXPECT_TRUE(session.takeRequests().empty());
}

}  // namespace
}  // namespace corvlin::test
