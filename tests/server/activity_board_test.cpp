// The owner of the activities with stand-in rules and extensions: bounds, redrawing, the
// failed extension in the activity's place, the log and the events.
#include "host/server/activity_board.hpp"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>

#include "board_test_support.hpp"
#include "host/server/server_page.hpp"

namespace corvlin::host::server {
namespace {

using stand_ins::heardAs;
using stand_ins::LaterSeats;
using stand_ins::outcomeOf;
using stand_ins::pushNow;
using stand_ins::pushStep;
using stand_ins::ScriptedRules;
using stand_ins::Seats;
using stand_ins::shownTitled;

TEST(ActivityBoard, HoldsAtMostTheLimitOfActivities) {
  Seats seats;
  ActivityBoard board(seats.side(), {3, 200});
  for (const char* token : {"01", "02", "0A"}) {
    SCOPED_TRACE(token);
    EXPECT_EQ(outcomeOf(pushNow(board, token, "title", 10)), "applied");
  }
  EXPECT_EQ(outcomeOf(pushNow(board, "0a", "again", 11)), "applied") << "tokens ignore case";
  EXPECT_EQ(outcomeOf(pushNow(board, "04", "title", 12)), "too many");
  ASSERT_EQ(board.activities().size(), 3u);
  EXPECT_EQ(board.activities()[2].token, "0a");
  EXPECT_EQ(board.log().back(),
            (LogEntry{12,
                      "04",
                      "",
                      "refused",
                      "TooManyRequests: all 3 activities are live; one must end or be dismissed "
                      "before a new token starts",
                      {}}));
}

TEST(ActivityBoard, RedrawsOnlyWhatWasAppliedAndShowsAFailedExtensionInItsPlace) {
  struct Case {
    std::string body;
    const char* outcome;
    int asked;           // questions to the extension so far
    bool presentations;  // the activity is drawn (not its failure)
    const char* detail;
  };
  const std::vector<Case> cases = {
      {"first", "applied", 1, true, ""},
      {"ignore", "ignored", 1, true, "older than the last update"},
      {"reject", "rejected", 1, true,
       "keyNotFound at aps.event: No value associated with key \"event\"."},
      {"crash", "applied", 2, false, ""},
      {"reject", "rejected", 2, false,
       "keyNotFound at aps.event: No value associated with key \"event\"."},
      {"after", "applied", 3, true, ""},
  };
  Seats seats;
  ActivityBoard board(seats.side());
  double now = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(outcomeOf(pushNow(board, "ff", c.body, ++now)), c.outcome);
    EXPECT_EQ(seats.asked, c.asked);
    const board::ActivityRecord& view = board.activities().front();
    ASSERT_NE(view.drawn, nullptr);
    const ActivityOutcome& outcome = view.drawn->rendered.outcome;
    EXPECT_EQ(std::holds_alternative<ui::Presentations>(outcome), c.presentations);
    EXPECT_EQ(std::holds_alternative<ExtensionFailure>(outcome), !c.presentations);
    EXPECT_NE(view.lastGood, nullptr) << "the last good presentations are kept";
    EXPECT_EQ(board.log().back().detail, c.detail);
  }
}

TEST(ActivityBoard, TellsItsListenersEveryChange) {
  Seats seats;
  ActivityBoard board(seats.side());
  std::vector<std::string> heard;
  const auto id = board.listen([&](const auto& event) { heard.push_back(*event); });
  pushNow(board, "0A", "Hello", 5);
  board.noteRefusal("0b", 400, "BadPriority", "", 6);
  board.stopListening(id);
  pushNow(board, "0a", "unheard", 7);
  ASSERT_EQ(heard.size(), 3u) << "the push's step, its drawing, the refusal";

  simdjson::dom::parser parser;
  simdjson::dom::element event = parser.parse(heard[0]);
  EXPECT_EQ(std::string_view(event["token"]), "0a");
  EXPECT_EQ(uint64_t(event["push"]), 1u);
  EXPECT_EQ(std::string_view(event["step"]["outcome"]), "applied");
  EXPECT_EQ(std::string_view(event["step"]["state"]), "active");
  EXPECT_EQ(double(event["step"]["at"]), 5);
  EXPECT_EQ(std::string_view(event["state"]), "active");
  EXPECT_TRUE(event["html"].error()) << "no drawing: it runs behind";
  EXPECT_EQ(std::string_view(event["log"]["outcome"]), "applied");

  simdjson::dom::element drawn = parser.parse(heard[1]);
  EXPECT_EQ(std::string_view(drawn["token"]), "0a");
  EXPECT_EQ(uint64_t(drawn["drawn"]), 1u);
  EXPECT_EQ(std::string_view(drawn["presentations"]["lockScreen"]["text"]), "stand-in");
  EXPECT_NE(std::string_view(drawn["html"]).find("data-token=\"0a\""), std::string_view::npos);
  EXPECT_TRUE(drawn["log"].error()) << "a drawing is no entry of the log";

  simdjson::dom::element refusal = parser.parse(heard[2]);
  EXPECT_EQ(std::string_view(refusal["refusal"]), "BadPriority");
  EXPECT_EQ(std::string_view(refusal["log"]["outcome"]), "refused");
}

TEST(ActivityBoard, KeepsTheNewestLogEntries) {
  Seats seats;
  ActivityBoard board(seats.side(), {64, 2});
  for (int i = 0; i < 5; ++i) pushNow(board, "0a", "ignore", i);
  ASSERT_EQ(board.log().size(), 2u);
  EXPECT_EQ(board.log().front().at, 3);
}

TEST(ActivityBoard, DrawsEachRedrawWithStyleNamesOfItsOwn) {
  Seats seats;
  ActivityBoard board(seats.side());
  pushNow(board, "0a", "one", 1);
  const std::string first = servePage(board, 1).html;
  pushNow(board, "0a", "two", 2);
  const auto page = servePage(board, 2);
  EXPECT_EQ(first.find("a2g0"), std::string::npos);
  EXPECT_NE(page.html.find("a2g0"), std::string::npos);
  EXPECT_NE(page.contentSecurityPolicy.find("connect-src 'self'"), std::string::npos);
}

TEST(ActivityBoard, AnswersAtOnceAndDrawsBehindOnlyTheNewestState) {
  struct Case {
    const char* name;
    std::vector<std::string> actions;
    std::vector<std::string> answered;  // "TOKEN BODY OUTCOME", in the order answered
    std::vector<std::string> heard;
    std::vector<std::string> asked;  // the titles drawn, in the order asked
    bool paced = false;              // an extension is ready again only after a "frame"
  };
  const std::vector<Case> cases = {
      {"the answer comes before the drawing ends",
       {"push 0a a1"},
       {"0a a1 applied"},
       {"0a step 1 applied: "},
       {"a1"}},
      {"three pushes during one drawing: the newest is drawn next, the others never",
       {"push 0a a1", "push 0a a2", "push 0a a3", "push 0a a4", "answer a1", "answer a4"},
       {"0a a1 applied", "0a a2 applied", "0a a3 applied", "0a a4 applied"},
       {"0a step 1 applied: ", "0a step 2 applied: ", "0a step 3 applied: ", "0a step 4 applied: ",
        "0a drawn 1", "0a drawn 4"},
       {"a1", "a4"}},
      {"a push that changes nothing shown is not drawn",
       {"push 0a a1", "answer a1", "push 0a ignore", "push 0a reject"},
       {"0a a1 applied", "0a ignore ignored", "0a reject rejected"},
       {"0a step 1 applied: ", "0a drawn 1", "0a step 2 ignored: older than the last update",
        "0a step 3 rejected: keyNotFound at aps.event: No value associated with key \"event\"."},
       {"a1"}},
      {"each activity draws on its own, in its own order",
       {"push 0a a1", "push 0b b1", "push 0a ignore", "push 0a a2", "answer b1", "answer a1",
        "push 0b b2", "answer a2", "answer b2"},
       {"0a a1 applied", "0b b1 applied", "0a ignore ignored", "0a a2 applied", "0b b2 applied"},
       {"0a step 1 applied: ", "0b step 1 applied: ",
        "0a step 2 ignored: older than the last update", "0a step 3 applied: ", "0b drawn 1",
        "0a drawn 1", "0b step 2 applied: ", "0a drawn 3", "0b drawn 2"},
       {"a1", "b1", "a2", "b2"}},
      {"a push that gives two steps (a stale date passed, then the push): the newest drawn",
       {"push 0a a1", "answer a1", "push 0a stale+a2", "answer a2"},
       {"0a a1 applied", "0a stale+a2 applied"},
       {"0a step 1 applied: ", "0a drawn 1", "0a step 2 applied: the stale date was reached",
        "0a step 2 applied: ", "0a drawn 2"},
       {"a1", "a2"}},
      {"a failing drawing, then a good one",
       {"push 0a crash", "push 0a fine", "answer crash", "answer fine"},
       {"0a crash applied", "0a fine applied"},
       {"0a step 1 applied: ", "0a step 2 applied: ", "0a drawn 1 failed", "0a drawn 2"},
       {"crash", "fine"}},
      {"paced: a drawing in the frame of the last waits for the next, then the newest is drawn",
       {"push 0a a1", "answer a1", "push 0a a2", "push 0a a3", "frame", "answer a3", "frame"},
       {"0a a1 applied", "0a a2 applied", "0a a3 applied"},
       {"0a step 1 applied: ", "0a drawn 1",
        "0a step 2 applied: ", "0a step 3 applied: ", "0a drawn 3"},
       {"a1", "a3"},
       true},
      {"paced: each activity waits for a frame of its own",
       {"push 0a a1", "answer a1", "frame", "push 0b b1", "answer b1", "push 0a a2", "push 0b b2",
        "answer a2", "frame", "answer b2"},
       {"0a a1 applied", "0b b1 applied", "0a a2 applied", "0b b2 applied"},
       {"0a step 1 applied: ", "0a drawn 1", "0b step 1 applied: ", "0b drawn 1",
        "0a step 2 applied: ", "0b step 2 applied: ", "0a drawn 2", "0b drawn 2"},
       {"a1", "b1", "a2", "b2"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LaterSeats seats;
    seats.paced = c.paced;
    ActivityBoard board(seats.side());
    std::vector<std::string> heard;
    board.listen([&](const auto& event) { heard.push_back(heardAs(*event)); });
    std::vector<std::string> answered;
    double now = 0;
    std::size_t pushed = 0;
    for (const std::string& action : c.actions) {
      if (action == "frame") {
        seats.frame();
        continue;
      }
      if (action.rfind("answer ", 0) == 0) {
        seats.answer(action.substr(7));
        continue;
      }
      const std::string token = action.substr(5, 2);
      const std::string body = action.substr(8);
      board.push(token, body, ++now, [&, token, body](PushResult result) {
        answered.push_back(token + " " + body + " " + outcomeOf(result));
      });
      ASSERT_EQ(answered.size(), ++pushed) << "answered within the push";
    }
    EXPECT_EQ(answered, c.answered);
    EXPECT_EQ(heard, c.heard);
    EXPECT_EQ(seats.titles, c.asked);
    const auto steps = std::count_if(c.heard.begin(), c.heard.end(), [](const std::string& line) {
      return line.find(" step ") != std::string::npos;
    });
    ASSERT_EQ(board.log().size(), static_cast<std::size_t>(steps)) << "one entry a step";
    for (std::size_t i = 1; i < board.log().size(); ++i) {
      EXPECT_LT(board.log()[i - 1].at, board.log()[i].at) << "in the order pushed";
    }
  }
}

TEST(ActivityBoard, EndingTheExtensionsDropsTheDrawingUnderWayAndTheOneToCome) {
  LaterSeats seats;
  ActivityBoard board(seats.side());
  std::vector<std::string> heard;
  board.listen([&](const auto& event) { heard.push_back(heardAs(*event)); });
  int answered = 0;
  board.push("0a", "a1", 1, [&](PushResult) { ++answered; });
  board.push("0a", "a2", 2, [&](PushResult) { ++answered; });
  ASSERT_EQ(seats.open.size(), 1u);
  EXPECT_EQ(answered, 2) << "both answered before any drawing ended";
  board.endExtensions();
  seats.answer("a1");  // an answer already on its way when the extensions were ended
  EXPECT_TRUE(seats.open.empty()) << "a2 is never asked for";
  EXPECT_EQ(heard, (std::vector<std::string>{"0a step 1 applied: ", "0a step 2 applied: "}));
  EXPECT_EQ(board.log().size(), 2u);
  EXPECT_EQ(board.activities()[0].drawnPush, 0u);
  EXPECT_FALSE(board.activities()[0].drawing);
  // A push while the server stops is still answered, and drawn as the extension's failure.
  board.push("0a", "a3", 3, [&](PushResult) { ++answered; });
  EXPECT_EQ(answered, 3);
  EXPECT_EQ(heard.back(), "0a drawn 3 failed");
}

TEST(ActivityBoard, EndingTheExtensionsDropsADrawingWaitingForItsFrame) {
  LaterSeats seats;
  seats.paced = true;
  ActivityBoard board(seats.side());
  board.push("0a", "a1", 1, {});
  seats.answer("a1");
  board.push("0a", "a2", 2, {});
  ASSERT_TRUE(seats.tick) << "a2 waits for its frame";
  board.endExtensions();
  seats.frame();  // a wait that ended as the extensions did
  EXPECT_EQ(seats.titles, std::vector<std::string>{"a1"});
  EXPECT_EQ(board.activities()[0].drawnPush, 1u);
}

TEST(ActivityBoard, AListenerThatCatchesUpHearsWhatALoadedPageWouldShowFirst) {
  LaterSeats seats;
  ActivityBoard board(seats.side());
  for (const char* action : {"0a a1", "0b b1", "0a a2", "0c reject"}) {
    const std::string text = action;
    board.push(text.substr(0, 2), text.substr(3), 1, {});
  }
  seats.answer("a1");
  seats.answer("b1");
  seats.answer("a2");
  board.push("0b", "b2", 2, {});  // still being drawn: its drawing comes as an event
  const auto heardBy = [&board](std::optional<double> catchUpAt) {
    std::vector<std::string> heard;
    board.stopListening(
        board.listen([&heard](const auto& event) { heard.push_back(heardAs(*event)); }, catchUpAt));
    return heard;
  };
  EXPECT_EQ(heardBy(3),
            (std::vector<std::string>{
                "catch up: 0a 0b 0c", "0a logged applied", "0b logged applied", "0a logged applied",
                "0c logged rejected", "0b logged applied", "0a drawn 2", "0b drawn 1"}))
      << "the log oldest first, then the drawings; 0c was never drawn";
  EXPECT_TRUE(heardBy(std::nullopt).empty());

  // Every catch-up shares the one text of each newest drawing, as its listeners heard it.
  const auto drawingsHeard = [&board](std::optional<double> catchUpAt) {
    std::vector<const std::string*> drawings;
    board.stopListening(board.listen(
        [&drawings](const auto& event) {
          if (event->find("\"drawn\"") != std::string::npos) drawings.push_back(event.get());
        },
        catchUpAt));
    return drawings;
  };
  const std::string* heardLive = nullptr;
  const auto live = board.listen([&](const auto& event) { heardLive = event.get(); });
  seats.answer("b2");
  board.stopListening(live);
  const auto first = drawingsHeard(4);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1], heardLive) << "the drawing event as it was told";
  EXPECT_EQ(drawingsHeard(5), first) << "not a copy for each catch-up";
}

}  // namespace
}  // namespace corvlin::host::server
