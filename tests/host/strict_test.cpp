// Warnings as corvlin-host reports them: one JSON line each on standard error, beside the
// presentations in JSON, failing the command only under --strict, and never changing the output.
#include <gtest/gtest.h>

#include "host_test_support.hpp"

namespace corvlin::test {
namespace {

constexpr const char* pinnedNow = "1767225510";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    out.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return out;
}

TEST(HostWarnings, FailOnlyUnderStrict) {
  const std::string warned = R"({"title":"t","timer_end":1767225600})";
  const std::string clean = R"({"title":"t"})";
  const std::string line =
      R"({"warning":{"kind":"unknownKey","codingPath":["timer_end"],"description":"No content state reads the member \"timer_end\"; it is ignored.","hint":"did you mean \"timerEnd\"?"}})";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    int status;
    std::string err;  // exact
  };
  const Case cases[] = {
      {"decode", {"decode", "-"}, warned, 0, line + "\n"},
      {"decode --strict", {"decode", "--strict", "-"}, warned, 65, line + "\n"},
      {"decode --strict, clean", {"decode", "-", "--strict"}, clean, 0, ""},
      {"attributes --strict",
       {"decode", "--attributes", "--strict", "-"},
       R"({"kind":"k","activityID":"a","activityId":"a"})",
       65,
       R"({"warning":{"kind":"unknownKey","codingPath":["activityID"],"description":"No attributes record reads the member \"activityID\"; it is ignored.","hint":"did you mean \"activityId\"?"}})"
       "\n"},
      {"render", {"render", "-", "--now", pinnedNow}, warned, 0, line + "\n"},
      {"render --strict", {"render", "-", "--now", pinnedNow, "--strict"}, warned, 65, line + "\n"},
      {"render --strict, clean", {"render", "-", "--now", pinnedNow, "--strict"}, clean, 0, ""},
      {"render the default activity --strict", {"render", "--strict"}, "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost(c.arguments, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_FALSE(run.out.empty()) << "the output is written with or without warnings";
  }
}

TEST(HostWarnings, ChangeNeitherTheDecodedStateNorTheAnswer) {
  // The same activity, once with mistakes that decode and once without them.
  const std::string warned =
      R"({"title":"Order","timerEnd":1767225600,"timerDirection":"down","tone":"Warning","progress":65,"colour":"red","actions":[{"actionId":"a","label":"A","requireAuth":true},{"actionId":"b","label":" "},{"actionId":"c","label":"C"},{"actionId":"d","label":"D"}]})";
  const std::string clean =
      R"({"title":"Order","timerEnd":1767225600,"timerDirection":"down","tone":"Warning","progress":65,"actions":[{"actionId":"a","label":"A"},{"actionId":"b","label":" "},{"actionId":"c","label":"C"},{"actionId":"d","label":"D"}]})";
  const HostRun decodedWarned = runHost({"decode", "-"}, warned);
  const HostRun decodedClean = runHost({"decode", "-"}, clean);
  EXPECT_EQ(decodedWarned.out, decodedClean.out);
  EXPECT_EQ(lines(decodedWarned.err).size(), 6u) << decodedWarned.err;

  for (const char* format : {"text", "json", "html"}) {
    SCOPED_TRACE(format);
    const HostRun a = runHost({"render", "-", "--now", pinnedNow, "--format", format}, warned);
    const HostRun b = runHost({"render", "-", "--now", pinnedNow, "--format", format}, clean);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    if (std::string(format) == "text") {
      EXPECT_EQ(a.out, b.out);
    } else {
      // The answers are the same; only the warnings beside them differ.
      const std::string marker =
          std::string(format) == "json" ? ",\"warnings\":[" : "data-testid=\"warnings\"";
      const auto cutA = a.out.find(marker);
      const auto cutB = b.out.find(marker);
      ASSERT_NE(cutA, std::string::npos);
      EXPECT_EQ(a.out.substr(0, cutA), b.out.substr(0, cutB));
    }
  }
}

TEST(HostWarnings, SitBesideThePresentationsInJson) {
  const std::string list =
      R"([{"title":"a","tone":"Danger"},{"body":"no title"},{"contentState":{"title":"c"},"atributes":{}}])";
  const HostRun run = runHost({"render", "-", "--now", pinnedNow, "--format", "json"}, list);
  EXPECT_EQ(run.status, 65) << run.err;
  EXPECT_NE(
      run.out.find(
          R"(,"warnings":[{"warning":{"kind":"unknownKeyword","codingPath":[0,"tone"],"description":"The tone \"Danger\")"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"(},{"error":{"kind":"keyNotFound","codingPath":[1,"title"])"),
            std::string::npos);
  EXPECT_NE(
      run.out.find(R"("warnings":[{"warning":{"kind":"unknownKey","codingPath":[2,"atributes"])"),
      std::string::npos);
  const auto err = lines(run.err);
  ASSERT_GE(err.size(), 2u);
  EXPECT_EQ(err[0].rfind(R"({"warning":{"kind":"unknownKeyword","codingPath":[0,"tone"])", 0), 0u);
}

}  // namespace
}  // namespace corvlin::test
