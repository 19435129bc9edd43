// The extension driven by the event loop, against the misbehaving stand-in: answers, every kind
// of failure with its message, and a new process after one has failed or exited.
#include "host/server/async_extension.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <optional>

#include "serve_test_support.hpp"

namespace corvlin::host::server {
namespace {

using Kind = ExtensionFailure::Kind;
using Answer = Result<std::string, ExtensionFailure>;

const std::string request =
    R"({"attributes":{},"contentState":{"title":"TITLE"},"now":1767225600})";

std::string titled(const std::string& title) {
  std::string line = request;
  line.replace(line.find("TITLE"), 5, title);
  return line;
}

ExtensionOptions faulty(const std::string& mode) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  environment.push_back("CORVLIN_FAULT=" + mode);
  return {{test::binPath("faulty-extension")}, environment, -1};
}

// Asks each title in turn, each after the last was answered, and runs the loop until all are.
std::vector<Answer> askInTurn(AsyncExtension& extension, boost::asio::io_context& io,
                              const std::vector<std::string>& titles) {
  std::vector<Answer> answers;
  std::function<void()> next = [&] {
    if (answers.size() == titles.size()) return;
    extension.ask(titled(titles[answers.size()]), [&](Answer answer) {
      answers.push_back(std::move(answer));
      next();
    });
  };
  next();
  // The process stays warm, watched for its exit, so the loop never runs out of work.
  while (answers.size() < titles.size()) io.run_one();
  return answers;
}

std::string describe(const Answer& answer) { return answer ? "answered" : answer.error().message; }

TEST(AsyncExtension, FailsAsTheBlockingExchangeDoes) {
  struct Case {
    std::string mode;
    std::optional<Kind> kind;  // nothing: answered
    std::string message;       // a part of the failure's message
  };
  const std::vector<Case> cases = {
      {"answer", std::nullopt, ""},
      {"crash", Kind::crashed, "the extension crashed: it was killed by signal 11"},
      {"exit-early", Kind::exitedEarly, "exited with status 2 after 0 of 1 answers"},
      {"exit-at-start", Kind::exitedEarly, "exited with status 3 after 0 of 1 answers"},
      {"leave-child", Kind::exitedEarly, "exited with status 0 after 0 of 1 answers"},
      {"hang", Kind::timedOut, "gave no answer within 300 ms"},
      {"leave-child-and-hang", Kind::timedOut, "gave no answer within 300 ms"},
      {"answer-bytes-4096", std::nullopt, ""},
      {"answer-bytes-5000", Kind::answerTooLarge, "larger than 4096 bytes"},
      {"answer-then-crash", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    boost::asio::io_context io;
    // 300 ms for the extensions that hang; those that end are given time to, on a busy machine.
    const auto timeout = std::chrono::milliseconds(c.kind == Kind::timedOut ? 300 : 5000);
    AsyncExtension extension(io, faulty(c.mode), {timeout, 4096});
    const auto answers = askInTurn(extension, io, {"first"});
    ASSERT_EQ(answers.size(), 1u);
    if (!c.kind) {
      EXPECT_TRUE(answers[0].ok()) << describe(answers[0]);
      continue;
    }
    ASSERT_FALSE(answers[0].ok());
    EXPECT_EQ(answers[0].error().kind, *c.kind) << answers[0].error().message;
    EXPECT_NE(answers[0].error().message.find(c.message), std::string::npos)
        << answers[0].error().message;
  }
}

TEST(AsyncExtension, KeepsOneProcessWarmAndStartsAnotherAfterAFailure) {
  boost::asio::io_context io;
  AsyncExtension extension(io, faulty("warm-by-title"), {std::chrono::milliseconds(500), 4096});
  const auto answers = askInTurn(extension, io, {"one", "two", "crash", "three", "hang", "four"});
  ASSERT_EQ(answers.size(), 6u);
  const std::vector<bool> answered = {true, true, false, true, false, true};
  for (std::size_t i = 0; i < answers.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(answers[i].ok(), answered[i]) << describe(answers[i]);
  }
  EXPECT_EQ(answers[2].error().kind, Kind::crashed);
  EXPECT_EQ(answers[4].error().kind, Kind::timedOut);
}

TEST(AsyncExtension, ReportsAProgramThatCannotStart) {
  boost::asio::io_context io;
  AsyncExtension extension(io, {{"/nonexistent/extension"}, std::nullopt, -1}, {});
  const auto answers = askInTurn(extension, io, {"first"});
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_FALSE(answers[0].ok());
  EXPECT_EQ(answers[0].error().kind, Kind::cannotStart);
}

TEST(AsyncExtension, DropsAnOpenQuestionWhenDestroyed) {
  boost::asio::io_context io;
  bool called = false;
  {
    AsyncExtension extension(io, faulty("hang"), {});
    extension.ask(titled("first"), [&](Answer) { called = true; });
    io.run_for(std::chrono::milliseconds(100));
  }
  io.restart();
  io.run();
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace corvlin::host::server
