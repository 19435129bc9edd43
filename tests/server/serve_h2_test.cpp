// corvlin-host serve over HTTP/2: h2 over TLS and h2c with prior knowledge answer as HTTP/1.1
// does, and the bounds a client meets: header list, body, streams, resets, time and shutdown.
#include <gtest/gtest.h>
#include <nghttp2/nghttp2.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "h2_test_support.hpp"
#include "serve_test_support.hpp"
#include "tls_test_support.hpp"

namespace corvlin::test {
namespace {

std::vector<std::string> tlsArguments(std::vector<std::string> more = {}) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("corvlin-h2-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const CertificateFiles files = writeCertificateFiles(folder.string());
  std::vector<std::string> arguments = {"--tls", "--cert", files.chain, "--key", files.key};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

std::unique_ptr<H2Client> overTls(std::uint16_t port) {
  auto channel = std::make_unique<Channel>(port, TlsOptions{});
  EXPECT_TRUE(channel->ok());
  EXPECT_EQ(channel->alpn(), "h2");
  return std::make_unique<H2Client>(std::move(channel));
}

std::unique_ptr<H2Client> overH2c(std::uint16_t port) {
  return std::make_unique<H2Client>(std::make_unique<Channel>(port));
}

std::string update(double timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
using Fields = std::vector<std::pair<std::string, std::string>>;
const Fields pushFields = {{"apns-push-type", "liveactivity"},
                           {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};

// Both transports answer one table of requests as HTTP/1.1 would.
TEST(ServeH2, AnswersOverTlsAndH2c) {
  for (const bool tls : {true, false}) {
    SCOPED_TRACE(tls ? "h2 over TLS" : "h2c");
    ServeProcess serve(tls ? tlsArguments() : std::vector<std::string>{});
    auto client = tls ? overTls(serve.port()) : overH2c(serve.port());
    const std::string port = std::to_string(serve.port());
    struct Case {
      const char* name;
      std::string method;
      std::string path;
      std::string authority;
      Fields fields;
      std::string body;
      unsigned status;
      std::string outcomeOrReason;  // the verdict's outcome, or the refusal's reason
    };
    const std::string body = update(1767225510, "Order 42");
    Fields withId = pushFields;
    withId.emplace_back("apns-id", "01234567-89AB-CDEF-0123-456789ABCDEF");
    Fields withHost = pushFields;
    withHost.emplace_back("host", "localhost:" + port);
    Fields withOtherHost = pushFields;
    withOtherHost.emplace_back("host", "evil.example");
    const std::vector<Case> cases = {
        {"a push", "POST", "/3/device/0a1b", "127.0.0.1:" + port, pushFields, body, 200, "applied"},
        {"no port, as push clients send", "POST", "/3/device/0a1b", "localhost", pushFields,
         update(1767225511, "B"), 200, "applied"},
        {"IPv6 loopback", "POST", "/3/device/0a1b", "[::1]:" + port, withId,
         update(1767225512, "C"), 200, "applied"},
        {"Host when there is no :authority", "POST", "/3/device/0a1b", "", withHost,
         update(1767225513, "D"), 200, "applied"},
        {"older than the last", "POST", "/3/device/0a1b", "localhost", pushFields, body, 200,
         "ignored"},
        {"a bad token", "POST", "/3/device/xyz", "localhost", pushFields, body, 400,
         "BadDeviceToken"},
        {"no push type", "POST", "/3/device/0a1b", "localhost", {}, body, 400, "InvalidPushType"},
        {"over 4096 bytes", "POST", "/3/device/0a1b", "localhost", pushFields,
         std::string(5000, ' '), 413, "PayloadTooLarge"},
        {"another authority", "POST", "/3/device/0a1b", "attacker.example", pushFields, body, 421,
         "MisdirectedRequest"},
        {"another port", "POST", "/3/device/0a1b", "localhost:1", pushFields, body, 421,
         "MisdirectedRequest"},
        {"a host field beside :authority naming another", "POST", "/3/device/0a1b", "localhost",
         withOtherHost, update(1767225514, "E"), 400, "BadRequest"},
        {"a host field naming the same", "POST", "/3/device/0a1b", "localhost:" + port, withHost,
         update(1767225515, "F"), 200, "applied"},
        {"the wrong method", "PUT", "/3/device/0a1b", "localhost", pushFields, body, 405,
         "MethodNotAllowed"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const H2Answer answer =
          client->await(client->submit(c.method, c.path, c.authority, c.fields, c.body));
      EXPECT_EQ(answer.status, c.status) << answer.body;
      EXPECT_EQ(answer.headers.at("content-type"), "application/json");
      EXPECT_EQ(answer.headers.at("content-length"), std::to_string(answer.body.size()));
      const std::string verdict = member(answer.body, {c.status == 200 ? "outcome" : "reason"});
      EXPECT_EQ(verdict, c.outcomeOrReason) << answer.body;
      // Refused before it counted as a push: a wrong Host, or a malformed head.
      const bool counted = c.status != 421 && c.outcomeOrReason != "BadRequest";
      EXPECT_EQ(answer.headers.count("apns-id"), counted ? 1u : 0u);
      if (counted && c.fields == withId) {
        EXPECT_EQ(answer.headers.at("apns-id"), "01234567-89AB-CDEF-0123-456789ABCDEF");
      } else if (counted) {
        EXPECT_TRUE(std::regex_match(answer.headers.at("apns-id"), uuid));
      }
    }
    const H2Answer page = client->await(client->submit("GET", "/", "localhost"));
    EXPECT_EQ(page.status, 200u);
    EXPECT_NE(page.body.find("Token 0a1b"), std::string::npos);
    const H2Answer head = client->await(client->submit("HEAD", "/", "localhost"));
    EXPECT_EQ(head.status, 200u);
    EXPECT_TRUE(head.body.empty());
    // The page tells the time it was drawn, so its length may change by a digit.
    EXPECT_GT(std::stoul(head.headers.at("content-length")), 1000u);
    // The event stream's head, and its end: a stream has no length to tell.
    const H2Answer eventsHead = client->await(client->submit("HEAD", "/events", "localhost"));
    EXPECT_EQ(eventsHead.status, 200u);
    EXPECT_TRUE(eventsHead.closed && eventsHead.body.empty());
    EXPECT_EQ(eventsHead.headers.at("content-type"), "text/event-stream");
    EXPECT_EQ(eventsHead.headers.count("content-length"), 0u);
    EXPECT_EQ(client->serverSetting(NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS), 128u);
    EXPECT_EQ(client->serverSetting(NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE), 8192u);
  }
}

// The first bytes of a plain connection decide its protocol, and none of them is lost.
TEST(ServeH2, TellsH2cFromHttp1ByTheFirstBytes) {
  ServeProcess serve({});
  const std::string host = "Host: 127.0.0.1:" + std::to_string(serve.port()) + "\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> pieces;  // written one after the other
    const char* statusLine;
  };
  const std::vector<Case> cases = {
      {"a GET", {"GET / HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n"}, "HTTP/1.1 200"},
      {"byte by byte",
       {"P", "O", "S", "T / HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n"},
       "HTTP/1.1 404"},
      {"most of the preface, then not", {"PRI * HTTP/2.0\r\n\r\nSM\r\n", "\nX"}, "HTTP/1.1 400"},
      {"a short request", {"GET /\r\n\r\n"}, "HTTP/1.1 400"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Channel channel(serve.port());
    for (const auto& piece : c.pieces) ASSERT_TRUE(channel.write(piece));
    EXPECT_EQ(channel.read().rfind(c.statusLine, 0), 0u);
  }
}

TEST(ServeH2, StreamsEventsOverTlsAndH2c) {
  ServeProcess serve(tlsArguments());
  auto tls = overTls(serve.port());
  const auto events = tls->submit("GET", "/events", "localhost");
  ASSERT_EQ(tls->awaitHead(events), 200u);
  // The events of pushes and refusals, in order; the drawings, which run behind, skipped.
  const auto nextStep = [&] {
    std::string event = tls->nextEvent(events);
    while (!event.empty() && !member(event, {"drawn"}).empty()) event = tls->nextEvent(events);
    return event;
  };
  auto pusher = overTls(serve.port());
  ASSERT_EQ(pusher->push("localhost", "beef", update(1767225510, "First")).status, 200u);
  const std::string event = nextStep();
  EXPECT_EQ(member(event, {"token"}), "beef");
  EXPECT_EQ(member(event, {"step", "outcome"}), "applied");
  // Pushes on the same connection as the stream, its events in order.
  ASSERT_EQ(tls->push("localhost", "beef", update(1767225520, "Second")).status, 200u);
  ASSERT_EQ(tls->push("localhost", "xyz", update(1767225530, "Refused")).status, 400u);
  EXPECT_EQ(member(nextStep(), {"log", "outcome"}), "applied");
  EXPECT_EQ(member(nextStep(), {"refusal"}), "BadDeviceToken");

  ServeProcess plain({});
  auto h2c = overH2c(plain.port());
  const auto plainEvents = h2c->submit("GET", "/events", "127.0.0.1");
  ASSERT_EQ(h2c->awaitHead(plainEvents), 200u);
  ASSERT_EQ(overH2c(plain.port())->push("127.0.0.1", "cafe", update(1767225510, "A")).status, 200u);
  EXPECT_EQ(member(h2c->nextEvent(plainEvents), {"token"}), "cafe");
  // A stream asked for again, as a page that was disconnected: the newest drawing comes first.
  ASSERT_EQ(member(h2c->nextEvent(plainEvents), {"drawn"}), "1") << "its drawing, behind";
  const auto again = h2c->submit("GET", "/events", "127.0.0.1", {{"last-event-id", "1"}});
  ASSERT_EQ(h2c->awaitHead(again), 200u);
  EXPECT_EQ(member(h2c->nextEvent(again), {"catchUp"}), R"(["cafe"])");
  EXPECT_EQ(member(h2c->nextEvent(again), {"log", "token"}), "cafe");
  EXPECT_EQ(member(h2c->nextEvent(again), {"drawn"}), "1");
}

// A page's event stream is not a slow request: it stays open past the client timeout, over
// either protocol, plain or TLS.
TEST(ServeH2, EventStreamsOutliveTheClientTimeout) {
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "TLS" : "plain");
    const std::vector<std::string> timeout = {"--client-timeout", "200"};
    ServeProcess serve(tls ? tlsArguments(timeout) : timeout);
    TlsOptions http1;
    http1.alpn = {"http/1.1"};
    auto channel = tls ? std::make_unique<Channel>(serve.port(), http1)
                       : std::make_unique<Channel>(serve.port());
    ASSERT_TRUE(channel->write("GET /events HTTP/1.1\r\nHost: localhost\r\n\r\n"));
    std::string http1Events = channel->read();
    auto h2 = tls ? overTls(serve.port()) : overH2c(serve.port());
    const auto h2Events = h2->submit("GET", "/events", "localhost");
    ASSERT_EQ(h2->awaitHead(h2Events), 200u);

    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    auto pusher = tls ? overTls(serve.port()) : overH2c(serve.port());
    ASSERT_EQ(pusher->push("localhost", "0a", update(1767225510, "Later")).status, 200u);
    EXPECT_EQ(member(h2->nextEvent(h2Events), {"token"}), "0a");
    while (http1Events.find("\"token\":\"0a\"") == std::string::npos) {
      const std::string more = channel->read();
      if (more.empty()) break;
      http1Events += more;
    }
    EXPECT_NE(http1Events.find("\"token\":\"0a\""), std::string::npos) << http1Events;
  }
}

TEST(ServeH2, RefusesAHeaderListOrABodyTooLargeAndServesOn) {
  ServeProcess serve(tlsArguments());
  auto client = overTls(serve.port());
  Fields huge = pushFields;
  huge.emplace_back("x-padding", std::string(9000, 'a'));
  const H2Answer headers =
      client->await(client->submit("POST", "/3/device/0a", "localhost", huge, "{}"));
  EXPECT_EQ(headers.status, 431u);
  EXPECT_EQ(member(headers.body, {"reason"}), "HeaderTooLarge");

  // Over the 64 KiB read: refused at once, the rest never read, the stream reset.
  const H2Answer body = client->await(
      client->submit("POST", "/3/device/0a", "localhost", pushFields, std::string(200000, ' ')));
  EXPECT_EQ(body.status, 413u);
  EXPECT_EQ(member(body.body, {"reason"}), "PayloadTooLarge");
  EXPECT_TRUE(body.closed);

  // The connection goes on.
  EXPECT_EQ(client->push("localhost", "0a", update(1767225510, "After")).status, 200u);
}

TEST(ServeH2, ServesManyStreamsAtOnce) {
  ServeProcess serve({});
  auto client = overH2c(serve.port());
  std::vector<std::int32_t> streams;
  for (int i = 0; i < 300; ++i) {
    const std::string token = i % 2 == 0 ? "0a" : "0b";
    streams.push_back(client->submit("POST", "/3/device/" + token, "localhost", pushFields,
                                     update(1767225510 + i, "Push " + std::to_string(i))));
  }
  std::set<std::string> ids;
  for (const auto stream : streams) {
    const H2Answer answer = client->await(stream);
    ASSERT_EQ(answer.status, 200u) << stream;
    EXPECT_EQ(member(answer.body, {"outcome"}), "applied");
    ids.insert(answer.headers.at("apns-id"));
  }
  EXPECT_EQ(ids.size(), streams.size());
}

// A client that opens streams and resets them in a loop is sent away; the others are served.
TEST(ServeH2, DisconnectsAClientThatResetsStreamsInALoop) {
  ServeProcess serve(tlsArguments());
  auto other = overTls(serve.port());
  auto rapid = overTls(serve.port());
  for (int i = 0; i < 1000; ++i) {
    const auto stream = rapid->submit("POST", "/3/device/0a", "localhost", pushFields, "", false);
    rapid->flush();
    rapid->reset(stream);
    rapid->flush();
  }
  EXPECT_EQ(rapid->untilClosed(), NGHTTP2_ENHANCE_YOUR_CALM);
  EXPECT_EQ(other->push("localhost", "0a", update(1767225510, "Still here")).status, 200u);
  EXPECT_EQ(overH2c(serve.port())->push("localhost", "0a", update(1767225511, "B")).status, 0u)
      << "a TLS port speaks no h2c";
}

TEST(ServeH2, ClosesStalledAndIdleConnections) {
  ServeProcess serve({"--client-timeout", "300"});
  auto stalled = overH2c(serve.port());
  stalled->submit("POST", "/3/device/0a", "localhost", pushFields, "", false);
  stalled->flush();
  auto idle = overH2c(serve.port());
  EXPECT_EQ(idle->push("localhost", "0a", update(1767225510, "A")).status, 200u);
  EXPECT_EQ(stalled->untilClosed(), NGHTTP2_NO_ERROR);
  EXPECT_EQ(idle->untilClosed(), NGHTTP2_NO_ERROR);
}

TEST(ServeH2, SaysGoawayOnSigtermAndExitsZero) {
  ServeProcess serve(tlsArguments());
  auto client = overTls(serve.port());
  const auto events = client->submit("GET", "/events", "localhost");
  ASSERT_EQ(client->awaitHead(events), 200u);
  ASSERT_EQ(client->push("localhost", "01", update(1767225510, "A")).status, 200u);
  EXPECT_EQ(member(client->nextEvent(events), {"token"}), "01");
  const std::vector<pid_t> children = serve.children();
  EXPECT_EQ(children.size(), 1u);
  const int status = serve.stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(client->untilClosed(), NGHTTP2_NO_ERROR);
  for (const pid_t child : children) {
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(child))) << child;
  }
}

}  // namespace
}  // namespace corvlin::test
