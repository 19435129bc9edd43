// The extension client's own part, without a process: how each way of failing is classified
// and worded from the bytes read, the exit and the timeout, and what carries over between
// exchanges.
#include "host/process/extension_client.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <optional>
#include <string>
#include <vector>

namespace corvlin::host {
namespace {

using Kind = ExtensionFailure::Kind;
using namespace std::chrono_literals;

ChildExit exitedWith(int status) { return ChildExit{status << 8, 0}; }
ChildExit killedBy(int signal) { return ChildExit{signal, 0}; }

const ExtensionLimits limits{300ms, 8};

TEST(ExtensionClient, ClassifiesHowTheExtensionEndedAnExchange) {
  enum class Ending { exit, timeout, outputThenTimeout };
  struct Case {
    const char* name;
    std::size_t wanted;
    std::string output;  // read before the ending
    Ending ending;
    ChildExit exit;
    Kind kind;
    std::string message;
  };
  const Case cases[] = {
      {"exit before answering", 1, "", Ending::exit, exitedWith(2), Kind::exitedEarly,
       "the extension exited with status 2 after 0 of 1 answers"},
      {"exit 0 after one of two", 2, "{}\n", Ending::exit, exitedWith(0), Kind::exitedEarly,
       "the extension exited with status 0 after 1 of 2 answers"},
      {"exit in the middle of a line", 1, "{\"pres", Ending::exit, exitedWith(3), Kind::exitedEarly,
       "the extension exited with status 3 after 0 of 1 answers (its last output was not a "
       "complete line)"},
      {"killed", 1, "", Ending::exit, killedBy(SIGSEGV), Kind::crashed,
       "the extension crashed: it was killed by signal 11 (Segmentation fault)"},
      {"killed in the middle of a line", 1, "{", Ending::exit, killedBy(SIGABRT), Kind::crashed,
       "the extension crashed: it was killed by signal 6 (Aborted)"},
      {"no answer in time",
       1,
       "{",
       Ending::timeout,
       {},
       Kind::timedOut,
       "the extension gave no answer within 300 ms and was stopped"},
      {"output closed, no exit in time",
       1,
       "",
       Ending::outputThenTimeout,
       {},
       Kind::timedOut,
       "the extension closed its output but did not exit"},
      {"an answer over the bound",
       1,
       "123456789",
       Ending::timeout,
       {},
       Kind::answerTooLarge,
       "the extension's answer is larger than 8 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExtensionClient client;
    std::vector<std::string> answers;
    ASSERT_FALSE(client.begin("{}\n", c.wanted, limits,
                              [&](std::string&& answer) { answers.push_back(answer); }));
    std::optional<ExtensionFailure> failure = client.read(c.output);
    if (!failure) {
      switch (c.ending) {
        case Ending::exit:
          failure = client.exited(c.exit);
          break;
        case Ending::outputThenTimeout:
          client.outputEnded();
          failure = client.timedOut();
          break;
        case Ending::timeout:
          failure = client.timedOut();
          break;
      }
    }
    EXPECT_EQ(failure->kind, c.kind);
    EXPECT_EQ(failure->message, c.message);
    EXPECT_TRUE(client.ended());
    // Every exchange after a failure is refused with it.
    const auto refused = client.begin("{}\n", 1, limits, nullptr);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->kind, c.kind);
    EXPECT_EQ(refused->message, "the extension is no longer running: " + c.message);
  }
}

TEST(ExtensionClient, ClassifiesHowItExitedWhenFinished) {
  struct Case {
    ChildExit exit;
    std::optional<Kind> kind;  // nothing: finished well
    std::string message;       // the failure's, or the refusal's after a good finish
  };
  const Case cases[] = {
      {exitedWith(0), std::nullopt,
       "the extension is no longer running: it was finished and exited with status 0"},
      {exitedWith(23), Kind::exitedEarly, "the extension answered but then exited with status 23"},
      {killedBy(SIGABRT), Kind::crashed,
       "the extension answered but then was killed by signal 6 (Aborted)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    ExtensionClient client;
    const auto failure = client.finished(c.exit);
    ASSERT_EQ(failure.has_value(), c.kind.has_value());
    if (failure) {
      EXPECT_EQ(failure->kind, *c.kind);
      EXPECT_EQ(failure->message, c.message);
    } else {
      ASSERT_TRUE(client.refusal().has_value());
      EXPECT_EQ(client.refusal()->kind, Kind::exitedEarly);
      EXPECT_EQ(client.refusal()->message, c.message);
    }
  }
  ExtensionClient client;
  EXPECT_EQ(client.finishTimedOut().message,
            "the extension answered but did not exit at the end of its input");
  EXPECT_TRUE(client.ended());
}

TEST(ExtensionClient, KeepsWhatComesAfterTheLastAnswerForTheNextExchange) {
  ExtensionClient client;
  std::vector<std::string> answers;
  const auto sink = [&](std::string&& answer) { answers.push_back(answer); };
  ASSERT_FALSE(client.begin("a\n", 1, limits, sink));
  {
    std::string buffer = "one\ntwo\nthr";
    ASSERT_FALSE(client.read(buffer));
    buffer.assign(buffer.size(), '#');  // the caller's buffer is its own again
  }
  EXPECT_TRUE(client.answeredAll());
  EXPECT_EQ(answers, std::vector<std::string>{"one"});

  ASSERT_FALSE(client.begin("b\nc\n", 2, limits, sink));
  ASSERT_FALSE(client.read({}));
  EXPECT_EQ(client.answered(), 1u);
  ASSERT_FALSE(client.read("ee\n"));
  EXPECT_EQ(answers, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_TRUE(client.answeredAll());
  EXPECT_FALSE(client.ended());
}

TEST(ExtensionClient, IsDoneOnceEverythingIsSentAndAnswered) {
  ExtensionClient client;
  ASSERT_FALSE(client.begin("abc\n", 1, limits, [](std::string&&) {}));
  EXPECT_EQ(client.unsent(), "abc\n");
  client.sent(2);
  EXPECT_EQ(client.unsent(), "c\n");
  ASSERT_FALSE(client.read("x\n"));
  EXPECT_FALSE(client.done());
  // An input that went away takes nothing more; what it answered stands.
  client.inputGone();
  EXPECT_TRUE(client.unsent().empty());
  EXPECT_TRUE(client.done());
}

}  // namespace
}  // namespace corvlin::host
