// corvlin-host serve over HTTP/2 against clients that take nothing and send without end: what the
// server holds for them stays bounded, their stalled streams and requests are timed out, one
// that makes it run out of memory loses its connection, and everyone else is served meanwhile.
#include <gtest/gtest.h>
#include <nghttp2/nghttp2.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "h2_test_support.hpp"
#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The servers' standard error: each large push's warnings, which these tests do not read.
const std::string quiet = "/dev/null";

const std::vector<std::pair<std::string, std::string>> pushFields = {
    {"apns-push-type", "liveactivity"}, {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};

// A push near the 4096-byte bound: long texts and three actions, drawn into a large event.
std::string largeUpdate(int n) {
  const std::string words = "Courier " + std::to_string(n) + " is on the way with the parcel. ";
  std::string text;
  while (text.size() + words.size() < 900) text += words;
  std::string actions;
  for (int a = 0; a < 3; ++a) {
    if (a != 0) actions += ",";
    actions += R"({"actionId":"action-)" + std::to_string(a) + R"(","label":")" +
               text.substr(0, 120) + R"("})";
  }
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(1767225510 + n) +
         R"(,"content-state":{"title":")" + text.substr(0, 400) + R"(","body":")" + text +
         R"(","detail":")" + text + R"(","tone":"warning","progress":0.5,"actions":[)" + actions +
         "]}}}";
}

#ifndef CORVLIN_SANITIZED  // the memory figures are read without the sanitizers only
// A field of /proc/PID/status in kB (VmRSS, VmHWM, VmSize); 0 when it cannot be read.
std::size_t statusKb(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stoul(line.substr(field.size() + 1));
  }
  return 0;
}

// Sets the server's address-space limit; RLIM_INFINITY lifts it.
void limitAddressSpace(pid_t pid, rlim_t bytes) {
  const rlimit limit{bytes, RLIM_INFINITY};
  ASSERT_EQ(::prlimit(pid, RLIMIT_AS, &limit, nullptr), 0);
}
#endif

std::unique_ptr<H2Client> overH2c(std::uint16_t port, const H2ClientOptions& options = {}) {
  return std::make_unique<H2Client>(std::make_unique<Channel>(port), options);
}

// `count` activities pushed and drawn, their drawings read from an event stream.
void startActivities(std::uint16_t port, int count) {
  auto client = overH2c(port);
  const auto events = client->submit("GET", "/events", "localhost");
  ASSERT_EQ(client->awaitHead(events), 200u);
  for (int n = 0; n < count; ++n) {
    const H2Answer answer = client->push("localhost", "0" + std::to_string(n), largeUpdate(n));
    ASSERT_EQ(member(answer.body, {"outcome"}), "applied") << answer.body;
  }
  std::set<std::string> drawn;
  while (drawn.size() < static_cast<std::size_t>(count)) {
    const std::string event = client->nextEvent(events);
    ASSERT_FALSE(event.empty()) << "every activity is drawn";
    if (!member(event, {"drawn"}).empty()) drawn.insert(member(event, {"token"}));
  }
}

// Clients whose window is 0: each opens `streams` streams of `target` (events catching up).
std::vector<std::unique_ptr<H2Client>> flood(std::uint16_t port, int clients, int streams,
                                             const std::string& target) {
  H2ClientOptions closed;
  closed.initialWindowSize = 0;
  std::vector<std::unique_ptr<H2Client>> flooding;
  for (int c = 0; c < clients; ++c) {
    flooding.push_back(overH2c(port, closed));
    for (int s = 0; s < streams; ++s) {
      flooding.back()->submit("GET", target, "localhost", {{"last-event-id", "1"}});
    }
    flooding.back()->flush();
  }
  return flooding;
}

// Every stream of a flooding client has its head, or was reset before it.
void awaitHeads(H2Client& client, int streams) {
  for (int s = 0; s < streams; ++s) {
    const std::int32_t id = 1 + 2 * s;
    const unsigned status = client.awaitHead(id);
    EXPECT_TRUE(status == 200 || client.answer(id).closed) << id;
  }
}

TEST(ServeH2Bounds, HoldsLittleForClientsThatTakeNothingAndServesTheOthers) {
  // Long enough for every flooding stream to have its head before the first is timed out; a
  // sanitized server on a busy machine takes seconds to answer them all.
#ifdef CORVLIN_SANITIZED
  const std::string clientTimeout = "5000";
#else
  const std::string clientTimeout = "1000";
#endif
  ServeProcess serve({"--client-timeout", clientTimeout}, {}, quiet);
  startActivities(serve.port(), 8);
#ifndef CORVLIN_SANITIZED  // the sanitizers' runtimes reserve far more address space
  const pid_t pid = serve.pid();
  const std::size_t before = statusKb(pid, "VmRSS");
  limitAddressSpace(pid, (statusKb(pid, "VmSize") << 10) + (rlim_t{512} << 20));
#endif
  // Event streams that catch up, and pages, none of them taken.
  auto flooding = flood(serve.port(), 4, 127, "/events");
  auto pages = flood(serve.port(), 1, 127, "/");
  for (auto& client : flooding) awaitHeads(*client, 127);
  awaitHeads(*pages[0], 127);
#ifndef CORVLIN_SANITIZED  // their runtimes keep what is freed for a while
  const std::size_t grown = statusKb(pid, "VmHWM") - before;
  EXPECT_LT(grown, std::size_t{64} << 10) << "kB more at the peak";
#endif

  const auto asked = Clock::now();
  auto other = overH2c(serve.port());
  const H2Answer page = other->await(other->submit("GET", "/", "localhost"));
  EXPECT_EQ(page.status, 200u);
  EXPECT_LT(Clock::now() - asked, 1s) << "another client is served at once";

  // Flow control keeps every stream of theirs from sending: each is reset after the client
  // timeout, and their connections, with nothing left open, are then sent away.
  flooding.push_back(std::move(pages[0]));
  for (auto& client : flooding) {
    EXPECT_EQ(client->untilClosed(), NGHTTP2_NO_ERROR);
    for (std::int32_t id = 1; id < 255; id += 2) {
      EXPECT_EQ(client->answer(id).resetCode, NGHTTP2_CANCEL) << id;
    }
  }
  const int status = serve.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A stream whose body never ends is answered 408 after the client timeout, however busy the
// rest of its connection.
TEST(ServeH2Bounds, AnswersARequestThatNeverEndsWhileTheConnectionIsBusy) {
  ServeProcess serve({"--client-timeout", "300"}, {}, quiet);
  auto client = overH2c(serve.port());
  const auto endless = client->submit("POST", "/3/device/0a", "localhost", pushFields, "", false);
  client->flush();
  const auto started = Clock::now();
  for (int n = 0; !client->answer(endless).closed && Clock::now() - started < 5s; ++n) {
    const H2Answer answer = client->push("localhost", "0b", largeUpdate(n));
    ASSERT_EQ(answer.status, 200u);
    std::this_thread::sleep_for(50ms);
  }
  const H2Answer answer = client->answer(endless);
  EXPECT_EQ(answer.status, 408u);
  EXPECT_EQ(member(answer.body, {"reason"}), "RequestTimeout");
  EXPECT_TRUE(answer.closed);
  EXPECT_EQ(client->push("localhost", "0b", largeUpdate(1000)).status, 200u)
      << "the connection goes on: requests every 50 ms keep it from being idle";
}

#ifndef CORVLIN_SANITIZED  // the sanitizers' runtimes reserve far more address space
// A server with no address space left to grow: the connections that ask for more than there is
// end, and the server lives on to serve once there is memory again.
TEST(ServeH2Bounds, AConnectionThatRunsOutOfMemoryEndsAndTheServerGoesOn) {
  ServeProcess serve({"--client-timeout", "1000"}, {}, quiet);
  startActivities(serve.port(), 8);
  const pid_t pid = serve.pid();
  limitAddressSpace(pid, statusKb(pid, "VmSize") << 10);
  auto pages = flood(serve.port(), 8, 127, "/");
  for (auto& client : pages) client->untilClosed();
  EXPECT_FALSE(endsWithin(pid, 100ms)) << "the server is alive";
  limitAddressSpace(pid, RLIM_INFINITY);
  auto other = overH2c(serve.port());
  EXPECT_EQ(other->await(other->submit("GET", "/", "localhost")).status, 200u);
  const int status = serve.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

}  // namespace
}  // namespace corvlin::test
