// corvlin-host decode on a push envelope: the envelope written back or one error line, and its
// warnings on standard error.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>

#include "host/checks/envelope_warnings.hpp"
#include "host/host_test_support.hpp"

namespace corvlin::test {
namespace {

const std::string state = R"("content-state":{"title":"Order 42"})";

TEST(HostDecodeEnvelope, WritesTheEnvelopeBackOrOneErrorLine) {
  struct Case {
    const char* name;
    std::string input;
    int status;
    std::string out;  // exact
    std::string err;  // a part of it
  };
  const std::vector<Case> cases{
      {"known members in order, unknown ones dropped",
       R"({"extra":true,"aps":{"event":"update","timestamp":1767225510,)" + state +
           R"(,"relevance-score":50,"stale-date":1767229110}})",
       0,
       R"({"aps":{"timestamp":1767225510,"event":"update",)" + state +
           R"(,"stale-date":1767229110,"relevance-score":50}})"
           "\n",
       ""},
      {"an unknown event: one error line",
       R"({"aps":{"event":"begin","timestamp":1,)" + state + "}}", 65, "",
       R"({"error":{"kind":"dataCorrupted","codingPath":["aps","event"],)"},
      {"a bare content state as before", R"({"title":"t","aps":null})", 65, "",
       R"("codingPath":["aps"])"},
      {"a content state without aps", R"({"title":"t"})", 0, "{\"title\":\"t\"}\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost({"decode", "-"}, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

TEST(HostDecodeEnvelope, WarnsOnStandardErrorAndStillDecodes) {
  struct Case {
    const char* name;
    std::string aps;  // the members after event and timestamp
    double timestamp;
    std::string warning;  // the warning lines, exact
  };
  const std::vector<Case> cases{
      {"dismissal date on an update", state + R"(,"dismissal-date":1767240000)", 1767225510,
       R"({"warning":{"kind":"dismissalDateNotEnd","codingPath":["aps","dismissal-date"],)"
       R"("description":"A dismissal date is read only with the \"end\" event; with \"update\" it is ignored.",)"
       R"("hint":"send it with \"event\":\"end\""}})"},
      {"timestamp in milliseconds", state, 1767225510123,
       R"({"warning":{"kind":"millisecondsInstant","codingPath":["aps","timestamp"],)"
       R"("description":"Read as seconds since 1970, the timestamp 1767225510123 falls in about the year 57969; it looks like milliseconds. )"
       R"(The phone applies it as newer than any update timestamped in seconds, and then ignores every later update as older than this one.",)"
       R"("hint":"did you mean 1767225510.123?"}})"},
      {"stale date in milliseconds", state + R"(,"stale-date":1767229110000)", 1767225510,
       R"({"warning":{"kind":"millisecondsInstant","codingPath":["aps","stale-date"],)"
       R"("description":"Read as seconds since 1970, the stale-date 1767229110000 falls in about the year 57970; it looks like milliseconds.",)"
       R"("hint":"did you mean 1767229110?"}})"},
      {"dismissal date in milliseconds, and on an update",
       state + R"(,"dismissal-date":1767240000000)", 1767225510,
       R"({"warning":{"kind":"millisecondsInstant","codingPath":["aps","dismissal-date"],)"
       R"("description":"Read as seconds since 1970, the dismissal-date 1767240000000 falls in about the year 57970; it looks like milliseconds.",)"
       R"("hint":"did you mean 1767240000?"}})"
       "\n"
       R"({"warning":{"kind":"dismissalDateNotEnd","codingPath":["aps","dismissal-date"],)"
       R"("description":"A dismissal date is read only with the \"end\" event; with \"update\" it is ignored.",)"
       R"("hint":"send it with \"event\":\"end\""}})"},
      {"a misspelt member of aps", state + R"(,"stale_date":1767229110)", 1767225510,
       R"({"warning":{"kind":"unknownKey","codingPath":["aps","stale_date"],)"
       R"("description":"No envelope reads the member \"stale_date\"; it is ignored.",)"
       R"("hint":"did you mean \"stale-date\"?"}})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream number;
    number.precision(17);
    number << c.timestamp;
    const HostRun run = runHost({"decode", "-"}, R"({"aps":{"event":"update","timestamp":)" +
                                                     number.str() + "," + c.aps + "}}");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, c.warning + "\n");
    EXPECT_EQ(run.out.rfind(R"({"aps":{"timestamp":)", 0), 0u) << run.out;
  }
}

// A body within the push service's limit holds a content state within the budget, save for
// numbers that the coded form writes longer; the check is made on the record itself.
TEST(HostDecodeEnvelope, ContentStateOverTheBudgetIsWarnedAbout) {
  const std::string title(4100, 'x');
  simdjson::dom::parser parser;
  const auto root =
      parser.parse(R"({"aps":{"content-state":{"title":")" + title + R"("}}})").value();
  updates::Envelope envelope;
  envelope.contentState = ContentState{};
  envelope.contentState->title = title;
  const auto warnings = host::envelopeWarnings(root, envelope);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(host::warningJson(warnings[0]),
            R"({"warning":{"kind":"overBudget","codingPath":["aps","content-state"],)"
            R"("description":"The coded content state is 4112 bytes, over the 4096-byte budget )"
            R"(for an activity's data; the phone would refuse this update."}})");
}

}  // namespace
}  // namespace corvlin::test
