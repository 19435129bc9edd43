// Exchanging lines with the extension process: each way it can fail is named, and no child is
// ever left behind, running or as a zombie, whatever it did.
#include "host/extension/extension_process.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "host_test_support.hpp"

namespace corvlin::host {
namespace {

using Kind = ExtensionFailure::Kind;

// True when this process has no child at all: none running and none waiting to be reaped.
bool noChildLeft() {
  errno = 0;
  return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

TEST(ExtensionProcess, NamesEachFailureAndReapsTheChild) {
  struct Case {
    const char* fault;
    Kind kind;
  };
  const Case cases[] = {
      {"crash", Kind::crashed},
      {"exit-early", Kind::exitedEarly},
      {"exit-at-start", Kind::exitedEarly},
      {"no-newline", Kind::exitedEarly},
      {"hang", Kind::timedOut},
      {"answer-then-hang", Kind::timedOut},
      {"huge", Kind::answerTooLarge},
  };
  ExtensionLimits limits;
  limits.timeout = std::chrono::milliseconds(300);
  limits.maxAnswerBytes = 1 << 20;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ::setenv("CORVLIN_FAULT", c.fault, 1);
    const auto answers = exchangeWithExtension(test::binPath("faulty-extension"),
                                               {R"({"contentState":{}})"}, limits);
    ASSERT_FALSE(answers.ok());
    EXPECT_EQ(answers.error().kind, c.kind) << answers.error().message;
    EXPECT_TRUE(noChildLeft());
  }
  ::unsetenv("CORVLIN_FAULT");
}

TEST(ExtensionProcess, GivesOneAnswerPerRequestFromTheRealExtension) {
  const std::vector<std::string> requests = {R"({"contentState":{"title":"a"},"now":1767225510})",
                                             "not json", ""};
  const auto answers =
      exchangeWithExtension(test::binPath("corvlin-live-activity-extension"), requests);
  ASSERT_TRUE(answers.ok()) << answers.error().message;
  ASSERT_EQ(answers.value().size(), requests.size());
  EXPECT_EQ(answers.value()[0].rfind(R"({"presentations":)", 0), 0u);
  EXPECT_EQ(answers.value()[1].rfind(R"({"error":)", 0), 0u);
  EXPECT_EQ(answers.value()[2].rfind(R"({"error":)", 0), 0u);
  EXPECT_TRUE(noChildLeft());

  const auto missing = exchangeWithExtension("/nonexistent/extension", requests);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().kind, Kind::cannotStart);
  EXPECT_TRUE(noChildLeft());
}

}  // namespace
}  // namespace corvlin::host
