// The examples of docs/serve.md that are whole JSON, held to what the server writes: the
// answers' verdicts, taken through the real update rules, and the warnings the service adds.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/asio/io_context.hpp>
#include <fstream>
#include <sstream>

#include "host/server/dispatch.hpp"
#include "host/server/phone_side.hpp"

namespace corvlin::host::server {
namespace {

// Every line of the ```json blocks of docs/serve.md.
std::vector<std::string> jsonExamples() {
  std::ifstream in(std::string(CORVLIN_TEST_DATA) + "/../../docs/serve.md");
  EXPECT_TRUE(in.good()) << "docs/serve.md";
  std::vector<std::string> lines;
  bool inJson = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("```")) {
      inJson = line == "```json";
      continue;
    }
    if (inJson) lines.push_back(line);
  }
  return lines;
}

bool shown(const std::vector<std::string>& examples, const std::string& json) {
  return std::find(examples.begin(), examples.end(), json) != examples.end();
}

TEST(ServeDocs, TheBroadcastAnswerIsWhatTheServerWrites) {
  const std::string body =
      R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"A","tone":"Warning"}}})";
  const std::string answer = broadcastVerdictJson(judgeBroadcast(body, 1767225530), 2, {});
  EXPECT_TRUE(shown(jsonExamples(), answer)) << answer;
}

TEST(ServeDocs, TheVerdictExamplesAreWhatTheRulesAnswer) {
  const std::vector<std::string> examples = jsonExamples();
  boost::asio::io_context io;
  auto rules = realPhoneSide(io, "unused", ExtensionLimits{}).rules();
  struct Case {
    const char* name;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"applied",
       R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"A"}}})"},
      {"ignored",
       R"({"aps":{"event":"update","timestamp":1767225500,"content-state":{"title":"B"}}})"},
      {"rejected",
       R"({"aps":{"event":"update","timestamp":1767225520,"content-state":{"title":"C","actions":[{"actionId":"x"}]}}})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const board::TakenSteps taken = rules->apply(c.body, 1767225530);
    ASSERT_LT(taken.own, taken.steps.size());
    const std::string verdict = verdictJson(taken.steps[taken.own]);
    EXPECT_TRUE(shown(examples, verdict)) << verdict;
  }
}

TEST(ServeDocs, TheServicesWarningsAreShownAsWritten) {
  const std::vector<std::string> examples = jsonExamples();
  for (const Warning& warning : {http1PushWarning(), missingProviderTokenWarning()}) {
    EXPECT_TRUE(shown(examples, warningJson(warning))) << warningJson(warning);
  }
}

}  // namespace
}  // namespace corvlin::host::server
