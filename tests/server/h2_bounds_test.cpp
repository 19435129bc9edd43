// The bounds an HTTP/2 session keeps against a client that takes nothing or sends without end:
// the bytes a connection holds for it, the time a stream may wait, and the cost of its headers.
#include <gtest/gtest.h>
#include <nghttp2/nghttp2.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "h2_pair.hpp"

namespace corvlin::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::shared_ptr<const std::string> text(std::string t) {
  return std::make_shared<const std::string>(std::move(t));
}

// The streams of the requests completed so far.
std::vector<std::int32_t> takeAll(Pair& pair) {
  std::vector<std::int32_t> streams;
  for (const auto& request : pair.server.takeRequests()) streams.push_back(request.stream);
  return streams;
}

// A client that opens its streams with a window of 0 takes nothing: what waits for it stays
// within the connection's bound, and each stream whose answer or event would pass it is reset.
TEST(H2Bounds, HoldsNoMoreThanTheBoundForAClientThatTakesNothing) {
  H2Limits limits = smallLimits();
  limits.maxQueuedBytes = 4096;
  H2ClientOptions closed;
  closed.initialWindowSize = 0;
  Pair pair(limits, closed);
  std::vector<std::int32_t> events;
  for (int i = 0; i < 3; ++i) events.push_back(pair.client.submit("GET", "/events", "localhost"));
  const auto page = pair.client.submit("GET", "/", "localhost");
  const auto small = pair.client.submit("GET", "/small", "localhost");
  pair.exchange();
  ASSERT_EQ(takeAll(pair).size(), 5u);
  for (const auto stream : events) ASSERT_TRUE(pair.server.openEvents(stream));
  // 1508 bytes as framed: two streams' worth fit in 4096, the third's does not.
  const auto event = text(std::string(1500, 'x'));
  for (const auto stream : events) {
    pair.server.sendOnEvents(stream, event, true);
    EXPECT_LE(pair.server.queuedBytes(), limits.maxQueuedBytes);
  }
  EXPECT_EQ(pair.server.queuedBytes(), 2 * 1508u);
  EXPECT_FALSE(pair.server.respond(page, json(200, std::string(2000, 'p')), false))
      << "an answer that would pass the bound is not queued";
  EXPECT_TRUE(pair.server.respond(small, json(200, std::string(100, 's')), false));
  EXPECT_EQ(pair.server.queuedBytes(), 2 * 1508u + 100);
  pair.exchange();
  for (const std::int32_t stream : {events[2], page}) {
    SCOPED_TRACE(stream);
    EXPECT_TRUE(pair.client.answer(stream).closed);
    EXPECT_EQ(pair.client.answer(stream).resetCode, NGHTTP2_CANCEL);
  }
  for (const std::int32_t stream : {events[0], events[1], small}) {
    SCOPED_TRACE(stream);
    EXPECT_FALSE(pair.client.answer(stream).closed);
    EXPECT_EQ(pair.client.answer(stream).status, 200u) << "heads are not held by flow control";
  }
  pair.server.takeClosedStreams();
  EXPECT_EQ(pair.server.queuedBytes(), 2 * 1508u + 100) << "a reset stream holds nothing";
  EXPECT_TRUE(pair.alive) << "the connection goes on";
}

// The session's clock: a request must arrive whole, and waiting bytes move, within the timeout.
TEST(H2Bounds, AnswersLateRequestsAndResetsStreamsFlowControlHolds) {
  struct Case {
    const char* name;
    bool windowClosed;
    const char* serverPart;  // "none", "answer", "event", "open events"
    unsigned status;         // the answer the client sees; 0 none
    long resetCode;          // -1: the stream lives on
  };
  const std::vector<Case> cases = {
      {"a request that never arrives whole", false, "none", 408, NGHTTP2_NO_ERROR},
      {"an answer flow control holds", true, "answer", 200, NGHTTP2_CANCEL},
      {"an event flow control holds", true, "event", 200, NGHTTP2_CANCEL},
      {"an event stream with nothing to send", true, "open events", 200, -1},
      {"an answer taken", false, "answer", 200, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    H2ClientOptions options;
    if (c.windowClosed) options.initialWindowSize = 0;
    Pair pair(smallLimits(), options);
    const std::string part = c.serverPart;
    const auto stream = part == "none" ? pair.client.submit("POST", "/3/device/0a", "localhost",
                                                            pushFields, "", false)
                                       : pair.client.submit("GET", "/events", "localhost");
    pair.exchange();
    const auto taken = takeAll(pair);
    ASSERT_EQ(taken.size(), part == "none" ? 0u : 1u);
    if (part == "answer") pair.server.respond(stream, json(200, "page"), false);
    if (part == "event" || part == "open events") pair.server.openEvents(stream);
    if (part == "event") pair.server.sendOnEvents(stream, text("{}"), true);
    const Clock::time_point start = Clock::now();
    const auto after = [&](std::chrono::milliseconds t) {
      pair.server.checkDeadlines(start + t, 100ms);
      pair.exchange();
      return pair.client.answer(stream);
    };
    after(0ms);
    const H2Answer before = after(99ms);
    EXPECT_EQ(before.closed, part == "answer" && !c.windowClosed) << "not yet";
    EXPECT_EQ(before.status, part == "none" ? 0u : 200u);
    const H2Answer answer = after(100ms);
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 408) {
      EXPECT_EQ(answer.body, R"({"reason":"RequestTimeout"})");
    }
    if (c.resetCode < 0) {
      EXPECT_EQ(answer.resetCode, 0u);
      EXPECT_EQ(answer.closed, part == "answer") << "an answer taken ends its stream";
    } else {
      EXPECT_TRUE(answer.closed);
      EXPECT_EQ(answer.resetCode, static_cast<std::uint32_t>(c.resetCode));
    }
    EXPECT_EQ(pair.server.queuedBytes(), 0u);
    EXPECT_TRUE(pair.alive) << "the other streams go on";
  }
}

// HPACK names a field already in the table in a byte, and each field decoded costs its length:
// the fields decoded with no answer between are bounded; an answer starts the count again.
TEST(H2Bounds, BoundsTheHeaderFieldsDecodedWithoutAnAnswer) {
  struct Case {
    const char* name;
    std::vector<std::size_t> requests;  // the copies of a 3000-byte field each request carries
    bool together;                      // sent at once; else each once the one before was answered
    bool sentAway;
  };
  const std::vector<Case> cases = {
      {"within the bound: 431 on the stream", {10}, true, false},
      {"past it in one request", {22}, true, true},
      {"past it in two sent together", {12, 12}, true, true},
      {"the same two, an answer between", {12, 12}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    H2Limits limits = smallLimits();
    limits.maxHeaderBytesWithoutAnswer = 64 * 1024;
    H2ClientOptions options;
    options.maxHeaderBlock = 1 << 20;
    Pair pair(limits, options);
    const std::pair<std::string, std::string> big = {"x-big", std::string(3000, 'b')};
    std::vector<std::int32_t> streams;
    for (const std::size_t copies : c.requests) {
      streams.push_back(pair.client.submit(
          "GET", "/", "localhost", std::vector<std::pair<std::string, std::string>>(copies, big)));
      if (!c.together) pair.exchange();
    }
    pair.exchange();
    for (const auto stream : streams) {
      if (!c.sentAway) {
        EXPECT_EQ(pair.client.answer(stream).status, 431u);
      }
    }
    EXPECT_EQ(pair.alive, !c.sentAway);
    EXPECT_EQ(pair.client.untilClosed(), c.sentAway ? NGHTTP2_ENHANCE_YOUR_CALM : -1);
  }
}

// nghttp2 ends a session after 8 CONTINUATION frames: the client is told so by GOAWAY.
TEST(H2Bounds, SaysGoawayAfterTooManyContinuationFrames) {
  H2Limits limits = smallLimits();
  limits.maxHeaderBytesWithoutAnswer = 1 << 20;
  H2ClientOptions options;
  options.maxHeaderBlock = 1 << 20;
  Pair pair(limits, options);
  // Twenty fields of 16 KB that no table holds, and that Huffman coding shortens little: a
  // block of more than nine frames of 16 KB.
  std::mt19937 random(29);
  std::uniform_int_distribution<int> printable('!', '~');
  std::vector<std::pair<std::string, std::string>> fields;
  for (int i = 0; i < 20; ++i) {
    std::string value(16384, ' ');
    for (char& c : value) c = static_cast<char>(printable(random));
    fields.emplace_back("x-field-" + std::to_string(i), value);
  }
  pair.client.submit("GET", "/", "localhost", fields);
  pair.exchange();
  EXPECT_FALSE(pair.alive);
  EXPECT_EQ(pair.client.untilClosed(), NGHTTP2_ENHANCE_YOUR_CALM);
  EXPECT_TRUE(pair.server.finished());
}

}  // namespace
}  // namespace corvlin::test
