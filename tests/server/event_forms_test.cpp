// The event stream's forms and the server's warning lines, byte for byte as docs/serve.md shows
// them: every event the owner of the activities sends, heard by a listener.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_test_support.hpp"
#include "host/server/activity_board.hpp"

namespace corvlin::host::server {
namespace {

using stand_ins::LaterSeats;
using stand_ins::pushStep;
using stand_ins::shownTitled;

Warning toneWarning() {
  return Warning(Warning::Kind::unknownKeyword, {std::string("aps"), std::string("tone")},
                 "The tone \"Warning\" is none of the words read.", "did you mean \"warning\"?");
}

// "warn": applied, started by the app, with a warning; "reject": rejected; "stray": rejected
// with no activity to its token; "late": a time step (stale) before the push's own step,
// ignored; anything else applied with that title.
class FormRules final : public ActivityRules {
 public:
  board::TakenSteps apply(std::string_view body, double now) override {
    updates::Step own = pushStep(now, updates::StepEvent::update);
    own.state = updates::ActivityState::active;
    if (body == "reject" || body == "stray") {
      own.event.reset();
      if (body == "stray") own.state.reset();
      own.outcome =
          updates::Rejected{DecodingError{DecodingError::Kind::typeMismatch,
                                          {std::string("aps"), std::string("timestamp")},
                                          "Expected to decode a number but found a string."}};
      return {{{own, {}}}, 0};
    }
    if (body == "late") {
      updates::Step stale{Instant{now},
                          std::nullopt,
                          updates::StepEvent::stale,
                          updates::Applied{updates::Reason::staleDateReached},
                          updates::ActivityState::stale,
                          shownTitled("late")};
      own.state = updates::ActivityState::stale;
      own.outcome = updates::Ignored{updates::Reason::olderThanLastUpdate};
      return {{{stale, {}}, {own, {}}}, 1};
    }
    own.shown = shownTitled(body);
    if (body == "warn") {
      own.outcome = updates::Applied{updates::Reason::startedByTheApp};
      return {{{own, {toneWarning()}}}, 0};
    }
    return {{{own, {}}}, 0};
  }
};

struct Heard {
  std::vector<std::string> events;
  std::vector<std::string> notices;
};

TEST(EventForms, StepsRefusalsWatchNotesAndWarningLinesAsDocumented) {
  LaterSeats seats;
  PhoneSide side = seats.side();
  side.rules = [] { return std::make_unique<FormRules>(); };
  Heard heard;
  ActivityBoard board(std::move(side), {},
                      [&](std::string line) { heard.notices.push_back(line); });
  board.listen([&](const auto& event) { heard.events.push_back(*event); });
  board.push("0A1B", "warn", 10.5, {});
  board.push("0a1b", "reject", 11, {});
  board.push("0a1b", "late", 11.25, {});
  board.noteRefusal("0B", 400, "BadPriority", "", 12);
  board.noteRefusal("0c", 403, "ExpiredProviderToken", "the token's iat is 3700 s old", 12.5);
  board.noteWatch("the folder '/tmp/w' is back; watching it again", 13);

  const std::vector<std::string> events = {
      R"({"token":"0a1b","push":1,"step":{"at":10.5,"event":"update","outcome":"applied",)"
      R"("reason":"started by the app","state":"active","warnings":[{"warning":{"kind":)"
      R"("unknownKeyword","codingPath":["aps","tone"],"description":"The tone \"Warning\" is )"
      R"(none of the words read.","hint":"did you mean \"warning\"?"}}]},"state":"active",)"
      R"("now":10.5,"log":{"at":10.5,"time":"00:00:10","token":"0a1b","event":"update",)"
      R"("outcome":"applied","detail":"started by the app","warnings":[{"warning":{"kind":)"
      R"("unknownKeyword","codingPath":["aps","tone"],"description":"The tone \"Warning\" is )"
      R"(none of the words read.","hint":"did you mean \"warning\"?"}}]}})",
      R"({"token":"0a1b","push":2,"step":{"at":11,"outcome":"rejected","error":{"kind":)"
      R"("typeMismatch","codingPath":["aps","timestamp"],"description":"Expected to decode a )"
      R"(number but found a string."},"state":"active"},"state":"active","now":11,"log":{"at":)"
      R"(11,"time":"00:00:11","token":"0a1b","event":"","outcome":"rejected","detail":)"
      R"("typeMismatch at aps.timestamp: Expected to decode a number but found a string."}})",
      R"({"token":"0a1b","push":3,"step":{"at":11.25,"event":"stale","outcome":"applied",)"
      R"("reason":"the stale date was reached","state":"stale"},"state":"stale","now":11.25,)"
      R"("log":{"at":11.25,"time":"00:00:11","token":"0a1b","event":"stale","outcome":"applied",)"
      R"("detail":"the stale date was reached"}})",
      R"({"token":"0a1b","push":3,"step":{"at":11.25,"event":"update","outcome":"ignored",)"
      R"("reason":"older than the last update","state":"stale"},"state":"stale","now":11.25,)"
      R"("log":{"at":11.25,"time":"00:00:11","token":"0a1b","event":"update","outcome":)"
      R"("ignored","detail":"older than the last update"}})",
      R"({"token":"0b","refusal":"BadPriority","status":400,"now":12,"log":{"at":12,)"
      R"("time":"00:00:12","token":"0b","event":"","outcome":"refused","detail":"BadPriority"}})",
      R"({"token":"0c","refusal":"ExpiredProviderToken","status":403,"detail":"the token's iat )"
      R"(is 3700 s old","now":12.5,"log":{"at":12.5,"time":"00:00:12","token":"0c","event":"",)"
      R"("outcome":"refused","detail":"ExpiredProviderToken: the token's iat is 3700 s old"}})",
      R"({"token":"0","watch":"the folder '/tmp/w' is back; watching it again","now":13,)"
      R"("log":{"at":13,"time":"00:00:13","token":"0","event":"","outcome":"watch","detail":)"
      R"("the folder '/tmp/w' is back; watching it again"}})",
  };
  EXPECT_EQ(heard.events, events);
  EXPECT_EQ(heard.notices,
            (std::vector<std::string>{
                R"({"warning":{"kind":"unknownKeyword","codingPath":["aps","tone"],"description":)"
                R"("The tone \"Warning\" is none of the words read.","hint":"did you mean )"
                R"(\"warning\"?","token":"0a1b"}})",
                R"({"refusal":{"status":400,"reason":"BadPriority","token":"0b"}})",
                R"({"refusal":{"status":403,"reason":"ExpiredProviderToken","detail":"the token's )"
                R"(iat is 3700 s old","token":"0c"}})",
                "corvlin-host: --watch: the folder '/tmp/w' is back; watching it again"}));
}

// The members of a drawing event before its section, and that the section ends it.
std::string beforeSection(const std::string& event) {
  const auto at = event.find(",\"html\":\"");
  EXPECT_NE(at, std::string::npos) << event;
  EXPECT_NE(event.find("\",\"css\":\"", at), std::string::npos) << event;
  EXPECT_TRUE(event.ends_with("\"}")) << event;
  return event.substr(0, at);
}

TEST(EventForms, DrawingsCatchUpsAndReclaimedSlotsAsDocumented) {
  LaterSeats seats;
  PhoneSide side = seats.side();
  side.rules = [] { return std::make_unique<FormRules>(); };
  ActivityBoard board(std::move(side), {2, 200});
  std::vector<std::string> heard;
  board.listen([&](const auto& event) { heard.push_back(*event); });
  board.push("0a", "crash", 1, {});
  seats.answer("crash");
  board.push("0a", "fine", 2.5, {});
  seats.answer("fine");
  board.push("0b", "stray", 3, {});
  ASSERT_EQ(heard.size(), 5u);
  EXPECT_EQ(heard[4],
            R"({"token":"0b","push":1,"step":{"at":3,"outcome":"rejected","error":{"kind":)"
            R"("typeMismatch","codingPath":["aps","timestamp"],"description":"Expected to decode )"
            R"(a number but found a string."}},"state":"not started","now":3,"log":{"at":3,)"
            R"("time":"00:00:03","token":"0b","event":"","outcome":"rejected","detail":)"
            R"("typeMismatch at aps.timestamp: Expected to decode a number but found a string."}})")
      << "a token with no activity yet";
  const std::string lockScreen =
      R"({"lockScreen":{"type":"Text","text":"stand-in","modifiers":[]},"dynamicIsland":)";
  EXPECT_EQ(beforeSection(heard[1]),
            R"({"token":"0a","drawn":1,"presentations":null,"failure":"it crashed",)"
            R"("state":"active","now":1)");
  EXPECT_EQ(beforeSection(heard[3]).substr(0, 40 + lockScreen.size()),
            R"({"token":"0a","drawn":2,"presentations":)" + lockScreen);
  EXPECT_TRUE(beforeSection(heard[3]).ends_with(R"(},"state":"active","now":2.5)"));

  std::vector<std::string> caughtUp;
  board.stopListening(board.listen([&](const auto& event) { caughtUp.push_back(*event); }, 4.75));
  ASSERT_EQ(caughtUp.size(), 5u);
  EXPECT_EQ(caughtUp[0], R"({"token":"","catchUp":["0a","0b"],"now":4.75})");
  EXPECT_EQ(caughtUp[1],
            R"({"token":"0a","log":{"at":1,"time":"00:00:01","token":"0a","event":"update",)"
            R"("outcome":"applied","detail":""}})");
  EXPECT_EQ(caughtUp[3],
            R"({"token":"0b","log":{"at":3,"time":"00:00:03","token":"0b","event":"",)"
            R"("outcome":"rejected","detail":"typeMismatch at aps.timestamp: Expected to decode )"
            R"(a number but found a string."}})");
  EXPECT_EQ(caughtUp[4], heard[3]) << "the newest drawing; 0b was never drawn";

  // 0b never started, so its slot goes to a new token.
  board.push("0c", "new", 6, {});
  ASSERT_GE(heard.size(), 7u);
  EXPECT_EQ(heard[5], R"({"token":"0b","reclaimed":true,"now":6})");
}

}  // namespace
}  // namespace corvlin::host::server
