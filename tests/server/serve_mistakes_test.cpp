// serve names the sender's mistakes in its answers and events as decode and render do: a
// misspelt required key in the error's hint, a stale-date already past at the server's clock.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

double realNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string whole(double seconds) { return std::to_string(static_cast<long long>(seconds)); }

TEST(ServeMistakes, TheAnswerAndTheEventNameAMisspeltKeyAndAStaleDateAlreadyPast) {
  ServeProcess serve({});
  EventReader events(serve.port());
  const std::string misspelt =
      R"({"aps":{"event":"update","timestamp":1767225510,"content_state":{"title":"A"}}})";
  const Answer rejected = push(serve.port(), "0a", misspelt);
  EXPECT_EQ(rejected.status, 200u);
  const std::string hint = R"("hint":"found \"content_state\"; the key is \"content-state\"")";
  EXPECT_NE(rejected.body.find(hint), std::string::npos) << rejected.body;
  std::string event = events.next();
  while (!event.empty() && event.find(R"("step")") == std::string::npos) event = events.next();
  EXPECT_NE(event.find(hint), std::string::npos) << event;
  EXPECT_NE(member(event, {"log", "detail"}).find("(found \"content_state\"; the key is "),
            std::string::npos)
      << event;

  // Sent a minute ago with a stale-date ten seconds later: past when it arrives now.
  const double now = realNow();
  const std::string stale = R"({"aps":{"event":"update","timestamp":)" + whole(now - 60) +
                            R"(,"stale-date":)" + whole(now - 50) +
                            R"(,"content-state":{"title":"B"}}})";
  const Answer applied = push(serve.port(), "0b", stale);
  EXPECT_EQ(applied.status, 200u);
  const std::string warnings = member(applied.body, {"warnings"});
  EXPECT_NE(warnings.find(R"({"kind":"staleOnArrival","codingPath":["aps","stale-date"],)"),
            std::string::npos)
      << applied.body;
  EXPECT_NE(warnings.find("past when the push arrives at"), std::string::npos) << warnings;
}

}  // namespace
}  // namespace corvlin::test
