// The instant at which the extension's answer changes, and the page that carries both answers.
#include <gtest/gtest.h>

#include "host/host_test_support.hpp"
#include "host/process/render.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

constexpr double now = 1767225510;

TEST(AnswerChangesAt, IsTheEndOfACountdownThatElapsesThere) {
  struct Case {
    const char* name;
    std::string state;
    std::optional<double> expected;
  };
  const Case cases[] = {
      {"running countdown", R"({"title":"t","timerEnd":1767225600,"timerDirection":"down"})",
       1767225600},
      {"a day ahead", R"({"title":"t","timerEnd":1767311910,"timerDirection":"down"})", 1767311910},
      {"held to a day", R"({"title":"t","timerEnd":1767400000,"timerDirection":"down"})",
       std::nullopt},
      {"already ended", R"({"title":"t","timerEnd":1767225500,"timerDirection":"down"})",
       std::nullopt},
      {"count-up", R"({"title":"t","timerStart":1767225500,"timerDirection":"up"})", std::nullopt},
      {"no timer", R"({"title":"t"})", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = decodeContentState(c.state);
    ASSERT_TRUE(state.ok());
    EXPECT_EQ(answerChangesAt(state.value(), now), c.expected);
  }
}

TEST(LaterAnswer, IsEmbeddedInThePageOnlyWhereTheAnswerChanges) {
  const std::string list =
      R"([{"title":"ends","timerEnd":1767225520,"timerDirection":"down","actions":[{"actionId":"a","label":"A"}]},{"title":"counts up","timerStart":1767225500,"timerDirection":"up"}])";
  const auto run = test::runHost({"render", "-", "--now", "1767225510", "--format", "html"}, list);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto at = run.out.find(R"(<template class="later-answer" data-at="1767225520">)");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(run.out.find("<template", at + 1), std::string::npos) << "one template only";
  const std::string later = run.out.substr(at, run.out.find("</template>", at) - at);
  EXPECT_EQ(later.find("action-link"), std::string::npos) << "no buttons once it has ended";
  EXPECT_NE(later.find(">0:00<"), std::string::npos);
}

}  // namespace
}  // namespace corvlin::host
