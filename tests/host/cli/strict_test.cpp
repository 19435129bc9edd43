// Warnings as corvlin-host reports them: one JSON line each on standard error, beside the
// presentations in JSON, failing the command only under --strict, and never changing the output.
#include <gtest/gtest.h>

#include "host/host_test_support.hpp"

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

// Every input form, under each command that reads it: the same warning on standard error, with
// its path from the document's root, and exit 65 only under --strict.
TEST(HostWarnings, FailOnlyUnderStrictInEveryForm) {
  const std::string warned = R"({"title":"t","timer_end":1767225600})";
  const std::string clean = R"({"title":"t"})";
  const auto envelope = [](const std::string& state) {
    return R"({"aps":{"event":"update","timestamp":1767225510,"content-state":)" + state + "}}";
  };
  // The line for the misspelt timerEnd, behind `prefix` in its path.
  const auto line = [](const std::string& prefix) {
    return R"({"warning":{"kind":"unknownKey","codingPath":[)" + prefix +
           R"("timer_end"],"description":"No content state reads the member \"timer_end\"; it is ignored.","hint":"did you mean \"timerEnd\"?"}})"
           "\n";
  };
  struct Form {
    const char* name;
    std::vector<std::string> command;
    std::string warned;
    std::string clean;
    std::string prefix;
  };
  const std::vector<std::string> decode{"decode", "-"};
  const std::vector<std::string> render{"render", "-", "--now", pinnedNow};
  const std::vector<std::string> replay{"replay", "-"};
  const Form forms[] = {
      {"decode a content state", decode, warned, clean, ""},
      {"decode the wrapped form", decode, R"({"contentState":)" + warned + "}",
       R"({"contentState":)" + clean + "}", R"("contentState",)"},
      {"decode an envelope", decode, envelope(warned), envelope(clean),
       R"("aps","content-state",)"},
      {"render a content state", render, warned, clean, ""},
      {"render the wrapped form", render, R"({"contentState":)" + warned + "}",
       R"({"contentState":)" + clean + "}", R"("contentState",)"},
      {"render an envelope", render, envelope(warned), envelope(clean),
       R"("aps","content-state",)"},
      {"render a list", render, "[" + clean + "," + warned + "]", "[" + clean + "]", "1,"},
      {"replay a timeline of envelopes", replay, envelope(clean) + "\n" + envelope(warned),
       envelope(clean), R"(1,"aps","content-state",)"},
      {"replay a timeline of timed records", replay,
       R"({"at":1767225510,"payload":)" + envelope(warned) + "}",
       R"({"at":1767225510,"payload":)" + envelope(clean) + "}",
       R"(0,"payload","aps","content-state",)"},
  };
  for (const Form& form : forms) {
    for (const bool strict : {false, true}) {
      SCOPED_TRACE(std::string(form.name) + (strict ? " --strict" : ""));
      std::vector<std::string> arguments = form.command;
      if (strict) arguments.emplace_back("--strict");
      const HostRun run = runHost(arguments, form.warned);
      EXPECT_EQ(run.status, strict ? 65 : 0) << run.err;
      EXPECT_EQ(run.err, line(form.prefix));
      EXPECT_FALSE(run.out.empty()) << "the output is written with or without warnings";
      const HostRun quiet = runHost(arguments, form.clean);
      EXPECT_EQ(quiet.status, 0) << quiet.err;
      EXPECT_EQ(quiet.err, "");
      if (strict) {
        EXPECT_EQ(run.out, runHost(form.command, form.warned).out) << "--strict changes no output";
      }
    }
  }
  const HostRun attributes = runHost({"decode", "--attributes", "--strict", "-"},
                                     R"({"kind":"k","activityID":"a","activityId":"a"})");
  EXPECT_EQ(attributes.status, 65);
  EXPECT_EQ(
      attributes.err,
      R"({"warning":{"kind":"unknownKey","codingPath":["activityID"],"description":"No attributes record reads the member \"activityID\"; it is ignored.","hint":"did you mean \"activityId\"?"}})"
      "\n");
  EXPECT_EQ(runHost({"render", "--strict"}).status, 0) << "the default activity is clean";
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
