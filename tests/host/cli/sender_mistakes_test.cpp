// The sender's mistakes named wherever a command reports: a misspelt required key in the error
// line's hint (decode, render, replay), a stale-date already past as a staleOnArrival warning
// (render judges it at --now, and --strict fails on it).
#include <gtest/gtest.h>

#include <string>

#include "host/host_test_support.hpp"

namespace corvlin::test {
namespace {

TEST(SenderMistakes, EveryCommandWritesTheMisspeltKeysHint) {
  const std::string misspelt = R"({"titel":"Order 42"})";
  const std::string line =
      R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No value )"
      R"(associated with key \"title\".","hint":"found \"titel\"; did you mean \"title\"?"}})";
  const HostRun decoded = runHost({"decode", "-"}, misspelt);
  EXPECT_EQ(decoded.status, 65);
  EXPECT_EQ(decoded.err, line + "\n");

  const HostRun rendered = runHost({"render", "-", "--now", "1767225600"}, misspelt);
  EXPECT_EQ(rendered.status, 65);
  EXPECT_EQ(rendered.err, line + "\n");

  // In a list, the page shows the error in the failing activity's place, its hint too.
  const HostRun page = runHost({"render", "-", "--now", "1767225600", "--format", "html"},
                               "[" + misspelt + R"(,{"title":"B"}])");
  EXPECT_EQ(page.status, 65);
  EXPECT_NE(page.out.find("found &quot;titel&quot;; did you mean &quot;title&quot;?"),
            std::string::npos)
      << page.out.substr(0, 400);

  const std::string timeline =
      R"({"aps":{"event":"start","timestamp":1767225600,"content-state":{"title":"A"},)"
      R"("attributes-type":"CorvlinLiveActivityAttributes","attributes":{"kind":"k","activityId":"a"}}})"
      "\n"
      R"({"aps":{"event":"update","timestamp":1767225660,"content-state":{"title":"B","actions":[{"action_id":"x","label":"X"}]}}})"
      "\n";
  const HostRun replayed = runHost({"replay", "-", "--format", "json"}, timeline);
  EXPECT_EQ(replayed.status, 65);
  const std::string hint = R"("hint":"found \"action_id\"; the key is \"actionId\"")";
  EXPECT_NE(replayed.err.find(hint), std::string::npos) << replayed.err;
  EXPECT_NE(replayed.out.find(hint), std::string::npos) << replayed.out;
  const HostRun text = runHost({"replay", "-"}, timeline);
  EXPECT_NE(text.out.find("(found \"action_id\"; the key is \"actionId\")"), std::string::npos)
      << text.out;
}

TEST(SenderMistakes, RenderJudgesTheStaleDateAtItsInstant) {
  const std::string envelope =
      R"({"aps":{"event":"update","timestamp":1767225600,"stale-date":1767229200,)"
      R"("content-state":{"title":"Order 42"}}})";
  const std::string warning =
      R"({"warning":{"kind":"staleOnArrival","codingPath":["aps","stale-date"],"description":)"
      R"("The stale-date 1767229200 (2026-01-01 01:00:00 UTC) is already 60 minutes past when )"
      R"(the push arrives at 2026-01-01 02:00:00 UTC.","hint":"the phone shows the activity as )"
      R"(stale as soon as it applies this update; give a stale-date still ahead when the push )"
      R"(arrives"}})";
  const HostRun late = runHost({"render", "-", "--now", "2026-01-01T02:00:00Z"}, envelope);
  EXPECT_EQ(late.status, 0) << late.err;
  EXPECT_EQ(late.err, warning + "\n");
  const HostRun strict =
      runHost({"render", "-", "--now", "2026-01-01T03:00:00+01:00", "--strict"}, envelope);
  EXPECT_EQ(strict.status, 65);
  EXPECT_EQ(strict.err, warning + "\n");
  const HostRun inTime = runHost({"render", "-", "--now", "2026-01-01T00:30:00Z"}, envelope);
  EXPECT_EQ(inTime.status, 0);
  EXPECT_EQ(inTime.err, "");
  // decode has no instant: it judges the stale-date by the timestamp alone.
  EXPECT_EQ(runHost({"decode", "-"}, envelope).err, "");
}

}  // namespace
}  // namespace corvlin::test
