// Reading a timeline: when each record arrives, which records are refused, and the warnings
// each record carries into its step; a broadcast record's own checks.
#include "host/replay/timeline.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "updates/replay.hpp"

namespace corvlin::host {
namespace {

std::string update(const std::string& timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + timestamp + R"(,"content-state":{"title":")" +
         title + R"("}}})";
}

std::string timed(const std::string& at, const std::string& envelope) {
  return R"({"at":)" + at + R"(,"payload":)" + envelope + "}";
}

// "AT #RECORD OUTCOME" for each step of a record; time steps are left out.
std::vector<std::string> recordSteps(const std::vector<updates::Step>& steps) {
  std::vector<std::string> out;
  for (const updates::Step& step : steps) {
    if (!step.record) continue;
    char at[32];
    std::snprintf(at, sizeof at, "%.0f", step.at.timeIntervalSince1970);
    out.push_back(std::string(at) + " #" + std::to_string(*step.record) + " " +
                  std::string(updates::outcomeName(step.outcome)));
  }
  return out;
}

TEST(Timeline, EachRecordArrivesAtAPlausibleInstant) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> steps;
  };
  const Case cases[] = {
      {"a timestamp in milliseconds arrives right after the record before it, and is newer "
       "than every later one",
       {update("1767225510", "a"), update("1767225520000", "ms"), update("1767225530", "c")},
       {"1767225510 #0 applied", "1767225510 #1 applied", "1767225530 #2 ignored"}},
      {"a first record in milliseconds arrives at the timeline's first instant",
       {update("1767225510000", "ms"), update("1767225530", "b")},
       {"1767225530 #0 applied", "1767225530 #1 ignored"}},
      {"a negative timestamp arrives right after the record before it",
       {update("100", "a"), update("-5", "b")},
       {"100 #0 applied", "100 #1 ignored"}},
      // Both arrive long after the eight hours the activity lives: ignored, but at their instant.
      {"the last plausible second arrives at its timestamp",
       {update("100", "a"), update("100000000000", "b")},
       {"100 #0 applied", "100000000000 #1 ignored"}},
      {"an arrival at the end of the year 9999 is taken",
       {timed("100", update("1", "a")), timed("253402300799", update("2", "b"))},
       {"100 #0 applied", "253402300799 #1 ignored"}},
      {"an arrival after the year 9999 is refused, shown right after the record before it",
       {timed("100", update("1", "a")), timed("253402300800", update("2", "b"))},
       {"100 #0 applied", "100 #1 rejected"}},
      {"an arrival before 1970 is refused, where the timeline begins",
       {timed("-1e308", update("1", "a")), timed("100", update("2", "b"))},
       {"100 #0 rejected", "100 #1 applied"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    for (const auto& line : c.lines) text += line + "\n";
    auto timeline = readTimeline(text);
    ASSERT_TRUE(timeline) << timeline.error();
    EXPECT_EQ(recordSteps(updates::replay(timeline.value().records)), c.steps);
  }
}

TEST(Timeline, RefusesAnArrivalItCannotShowByName) {
  auto timeline = readTimeline(timed("-1e308", update("1", "a")) + "\n");
  ASSERT_TRUE(timeline);
  const auto* rejection = std::get_if<updates::Rejection>(&timeline.value().records.front());
  ASSERT_NE(rejection, nullptr);
  EXPECT_EQ(rejection->error.kind, DecodingError::Kind::dataCorrupted);
  EXPECT_EQ(rejection->error.codingPath, (CodingPath{std::string("at")}));
  EXPECT_NE(rejection->error.description.find("-1e+308"), std::string::npos)
      << rejection->error.description;
}

TEST(Timeline, KeepsEachRecordsWarningsWithPathsFromItsRoot) {
  const std::string misspelt =
      R"({"aps":{"event":"update","timestamp":1767225530,"stale_date":1,"content-state":{"title":"c"}}})";
  const std::string text = update("1767225510", "a") + "\n" + update("1767225520000", "b") + "\n" +
                           timed("1767225530", misspelt) + "\n";
  auto timeline = readTimeline(text);
  ASSERT_TRUE(timeline);
  const auto& warnings = timeline.value().warnings;
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_TRUE(warnings[0].empty());
  ASSERT_EQ(warnings[1].size(), 1u);
  EXPECT_EQ(warnings[1][0].kind, Warning::Kind::millisecondsInstant);
  EXPECT_EQ(warnings[1][0].codingPath, (CodingPath{std::string("aps"), std::string("timestamp")}));
  EXPECT_NE(warnings[1][0].description.find("ignores every later update as older"),
            std::string::npos);
  ASSERT_EQ(warnings[2].size(), 1u);
  EXPECT_EQ(warnings[2][0].codingPath,
            (CodingPath{std::string("payload"), std::string("aps"), std::string("stale_date")}));
}

std::string broadcast(const std::string& members) { return "{" + members + "}"; }

TEST(Timeline, ReadsABroadcastOrRefusesItByName) {
  const std::string push = R"("push":)" + update("1767225600", "b");
  struct Case {
    const char* name;
    std::string record;
    DecodingError::Kind kind;
    CodingPath path;
    std::optional<std::string> channel;  // what the rejected record's step still names
  };
  const std::vector<Case> cases = {
      {"no at", broadcast(R"("channel":"a",)" + push), DecodingError::Kind::keyNotFound,
       CodingPath{std::string("at")}, "a"},
      {"an at after the year 9999", broadcast(R"("channel":"a","at":253402300800,)" + push),
       DecodingError::Kind::dataCorrupted, CodingPath{std::string("at")}, "a"},
      {"no channel", broadcast(R"("at":5,)" + push), DecodingError::Kind::keyNotFound,
       CodingPath{std::string("channel")}, std::nullopt},
      {"an empty channel", broadcast(R"("channel":"","at":5,)" + push),
       DecodingError::Kind::dataCorrupted, CodingPath{std::string("channel")}, std::nullopt},
      {"a channel that is no string", broadcast(R"("channel":7,"at":5,)" + push),
       DecodingError::Kind::typeMismatch, CodingPath{std::string("channel")}, std::nullopt},
      {"no push", broadcast(R"("channel":"a","at":5)"), DecodingError::Kind::keyNotFound,
       CodingPath{std::string("push")}, "a"},
      {"a push without its event",
       broadcast(R"("channel":"a","at":5,"push":{"aps":{"timestamp":5}})"),
       DecodingError::Kind::keyNotFound,
       CodingPath{std::string("push"), std::string("aps"), std::string("event")}, "a"},
      {"a push over the push service's limit",
       broadcast(R"("channel":"a","at":5,"push":{"aps":{"event":"end","timestamp":1},"pad":")" +
                 std::string(4100, 'x') + "\"}"),
       DecodingError::Kind::payloadTooLarge, CodingPath{std::string("push")}, "a"},
      {"a start",
       broadcast(R"("channel":"a","at":5,"push":{"aps":{"event":"start","timestamp":5,)"
                 R"("content-state":{"title":"s"},"attributes-type":)"
                 R"("CorvlinLiveActivityAttributes","attributes":{"kind":"k",)"
                 R"("activityId":"i"}}})"),
       DecodingError::Kind::dataCorrupted,
       CodingPath{std::string("push"), std::string("aps"), std::string("event")}, "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto timeline = readTimeline(c.record + "\n");
    ASSERT_TRUE(timeline) << timeline.error();
    const auto* rejection = std::get_if<updates::Rejection>(&timeline.value().records.front());
    ASSERT_NE(rejection, nullptr);
    EXPECT_EQ(rejection->error.kind, c.kind) << rejection->error.description;
    EXPECT_EQ(rejection->error.codingPath, c.path);
    EXPECT_EQ(rejection->channel, c.channel);
  }
  auto timeline = readTimeline(broadcast(R"("channel":"a","at":5,)" + push) + "\n");
  ASSERT_TRUE(timeline);
  const auto* arrival = std::get_if<updates::Arrival>(&timeline.value().records.front());
  ASSERT_NE(arrival, nullptr);
  EXPECT_EQ(arrival->channel, std::optional<std::string>("a"));
  EXPECT_EQ(arrival->at.timeIntervalSince1970, 5) << "at its own at, not its timestamp";
}

// The stale-date is after the timestamp but before the broadcast arrives: judged at its arrival.
TEST(Timeline, ABroadcastsWarningsStartWithPush) {
  const std::string text = broadcast(
      R"("channel":"a","at":1767225600,"push":{"aps":{"event":"update","timestamp":1767225000,)"
      R"("stale_date":1,"stale-date":1767225500,"content-state":{"title":"c"}}})");
  auto timeline = readTimeline(text + "\n");
  ASSERT_TRUE(timeline);
  std::vector<CodingPath> paths;
  for (const Warning& warning : timeline.value().warnings.front()) {
    paths.push_back(warning.codingPath);
  }
  EXPECT_EQ(paths, (std::vector<CodingPath>{
                       {std::string("push"), std::string("aps"), std::string("stale_date")},
                       {std::string("push"), std::string("aps"), std::string("stale-date")}}));
}

}  // namespace
}  // namespace corvlin::host
