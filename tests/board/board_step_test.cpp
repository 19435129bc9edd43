// The board's rules as tables: slots and the order activities give them up, the frame pacing
// of drawings, refusals, catch-ups and the push's own step, all through boardStep alone.
#include "host/board/board_step.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/board/board_driver.hpp"

namespace corvlin::host::board {
namespace {

using driven::Driver;
using driven::play;
using driven::S;
using driven::verdict;

TEST(BoardStep, ANewTokenTakesASlotOrTheSlotOfTheActivityReadiestToGiveItUp) {
  play(
      {{"push 01 show:a",
        {"admitted 01", "step 01 1 applied active", "answer applied", "draw 01 1"}},
       {"push 02 reject", {"admitted 02", "step 02 1 rejected not started", "answer rejected"}},
       {"push 03 show:c",
        {"admitted 03", "step 03 1 applied active", "answer applied", "draw 03 1"}},
       // Never started: gone from the phone, so it gives its slot up first.
       {"push 04 show:d",
        {"reclaimed 02", "admitted 04", "step 04 1 applied active", "answer applied", "draw 04 1"}},
       {"push 01 end:a", {"step 01 2 applied ended", "answer applied"}},
       // 01 has ended, but is still drawing, with a state to draw next: it keeps its slot.
       {"push 05 show:e", {"refusal 05 429 TooManyRequests", "429"}},
       {"done 01", {"drawn 01 1", "draw 01 2"}},
       {"push 05 show:e", {"refusal 05 429 TooManyRequests", "429"}},  // drawing its end
       {"done 01", {"drawn 01 2"}},
       {"done 03", {"drawn 03 1"}},
       {"push 03 dismiss", {"step 03 2 applied dismissed", "answer applied", "draw 03 2 nothing"}},
       // Dismissed before ended, though 01 ended first; its drawing of nothing holds no slot.
       {"push 05 show:e",
        {"reclaimed 03", "admitted 05", "step 05 1 applied active", "answer applied", "draw 05 1"}},
       {"done 03", {}},
       {"done 04", {"drawn 04 1"}},
       {"done 05", {"drawn 05 1"}},
       {"push 06 show:f",
        {"reclaimed 01", "admitted 06", "step 06 1 applied active", "answer applied", "draw 06 1"}},
       {"done 06", {"drawn 06 1"}},
       // Only live activities are left: a new token is refused, a known one goes on.
       {"push 07 show:g", {"refusal 07 429 TooManyRequests", "429"}},
       {"push 0A show:h", {"refusal 0a 429 TooManyRequests", "429"}},
       {"push 04 show:again", {"step 04 2 applied active", "answer applied", "draw 04 2"}}},
      {3, 200, 0});
}

TEST(BoardStep, OfTwoAlikeTheOneDrawnLongestAgoGivesItsSlotUp) {
  play(
      {{"push 01 end:a", {"admitted 01", "step 01 1 applied ended", "answer applied", "draw 01 1"}},
       {"push 02 end:b", {"admitted 02", "step 02 1 applied ended", "answer applied", "draw 02 1"}},
       {"done 02", {"drawn 02 1"}},
       {"done 01", {"drawn 01 1"}},
       // The one whose drawing ended first, though it began later.
       {"push 03 show:c",
        {"reclaimed 02", "admitted 03", "step 03 1 applied active", "answer applied",
         "draw 03 1"}}},
      {2, 200, 0});
}

TEST(BoardStep, DrawsAtMostOnceAFrameTheNewestStateAndSkipsTheOnesBetween) {
  const double f = 1.0 / 60;
  std::ostringstream due;
  due << "wake " << 10 + f;
  std::ostringstream dueLater;
  dueLater << "wake " << 10.5 + f;
  play({{"push 0a show:a1 10",
         {"admitted 0a", "step 0a 1 applied active", "answer applied", "draw 0a 1"}},
        {"push 0a show:a2 10.001", {"step 0a 2 applied active", "answer applied"}},
        {"push 0a show:a3 10.002", {"step 0a 3 applied active", "answer applied"}},
        // The drawing ends within its frame: the newest state waits for the next one.
        {"done 0a 10.003", {"drawn 0a 1", due.str()}},
        {"push 0a show:a4 10.004", {"step 0a 4 applied active", "answer applied"}},
        {"push 0a ignore 10.005", {"step 0a 5 ignored active", "answer ignored"}},
        {"tick 10.010", {due.str()}},  // too early: asked again for the same frame
        {"tick " + std::to_string(10 + f + 0.0001), {"draw 0a 4"}},
        {"done 0a 10.02", {"drawn 0a 4"}},
        // Idle for a frame: drawn at once.
        {"push 0a show:a6 10.5", {"step 0a 6 applied active", "answer applied", "draw 0a 6"}},
        // Nothing shown is drawn at once, frame or not.
        {"push 0b show:b1 10.5",
         {"admitted 0b", "step 0b 1 applied active", "answer applied", "draw 0b 1"}},
        {"done 0b 10.5", {"drawn 0b 1"}},
        {"push 0b dismiss 10.5",
         {"step 0b 2 applied dismissed", "answer applied", "draw 0b 2 nothing"}},
        {"done 0a 10.501", {"drawn 0a 6"}},
        {"push 0a show:a7 10.502", {"step 0a 7 applied active", "answer applied", dueLater.str()}},
        {"lost 0b", {"lost 0b: out of memory"}},
        {"ended", {}},
        {"tick 11", {}}},
       {64, 200, f});
}

TEST(BoardStep, LogsRefusalsNotesAndStepsAndCatchesAListenerUp) {
  Driver driver({64, 3, 0});
  driver.run("push 0a show:a");
  driver.run("done 0a");
  driver.run("push 0b reject");
  EXPECT_EQ(driver.run("refuse 0C 400 BadPriority"),
            (std::vector<std::string>{"refusal 0c 400 BadPriority"}));
  EXPECT_EQ(driver.run("watch the folder is back"),
            (std::vector<std::string>{"watch the folder is back"}));
  EXPECT_EQ(driver.run("catchup"), (std::vector<std::string>{"catch up 0a 0b, log 3, drawn 0a"}))
      << "the newest 3 entries; 0b was never drawn";
  EXPECT_EQ(driver.state().log.front().outcome, "rejected");
  EXPECT_EQ(driver.state().log.back(), (LogEntry{4, "0", "", "watch", "the folder is back", {}}));
}

TEST(BoardStep, EveryRefusalIsLoggedAndToldWithItsStatusReasonAndDetail) {
  struct Case {
    std::string action;
    std::vector<std::string> said;
    LogEntry logged;
  };
  const std::string full =
      "TooManyRequests: all 2 activities are live; one must end or be dismissed before a new "
      "token starts";
  const std::vector<Case> cases = {
      {"refuse 0a 403 ExpiredProviderToken the token's iat is 120 s ahead of the clock",
       {"refusal 0a 403 ExpiredProviderToken"},
       {1,
        "0a",
        "",
        "refused",
        "ExpiredProviderToken: the token's iat is 120 s ahead of the clock",
        {}}},
      {"refuse 0B 403 MissingProviderToken",
       {"refusal 0b 403 MissingProviderToken"},
       {2, "0b", "", "refused", "MissingProviderToken", {}}},
      {"refuse 0c 413 PayloadTooLarge",
       {"refusal 0c 413 PayloadTooLarge"},
       {3, "0c", "", "refused", "PayloadTooLarge", {}}},
      {"refuse 0d 405 MethodNotAllowed a push is POST /3/device/TOKEN; this was GET",
       {"refusal 0d 405 MethodNotAllowed"},
       {4,
        "0d",
        "",
        "refused",
        "MethodNotAllowed: a push is POST /3/device/TOKEN; this was GET",
        {}}},
      {"push 01 show:a",
       {"admitted 01", "step 01 1 applied active", "answer applied", "draw 01 1"},
       {5, "01", "update", "applied", "", {}}},
      {"push 02 show:b",
       {"admitted 02", "step 02 1 applied active", "answer applied", "draw 02 1"},
       {6, "02", "update", "applied", "", {}}},
      // The board's own refusal: every slot holds a live activity.
      {"push 03 show:c",
       {"refusal 03 429 TooManyRequests", "429"},
       {7, "03", "", "refused", full, {}}},
  };
  Driver driver({2, 200, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    EXPECT_EQ(driver.run(c.action), c.said);
    EXPECT_EQ(driver.state().log.back(), c.logged);
  }
}

TEST(BoardStep, AWatchedActivityThatEndedBeginsAgainOnAStartOrAContentState) {
  const std::string again = "watch the watched activity had ended; this save begins a new one";
  play({{"save 0 show:a begins",
         {"admitted 0", "step 0 1 applied active", "answer applied", "draw 0 1"}},
        {"done 0", {"drawn 0 1"}},
        // Live: a save that begins one is an update of it, as any other.
        {"save 0 show:b begins", {"step 0 2 applied active", "answer applied", "draw 0 2"}},
        {"done 0", {"drawn 0 2"}},
        // What the rules would not take is said where the person saving looks.
        {"save 0 ignore", {"step 0 3 ignored active", "answer ignored", "not taken 0 ignored"}},
        {"save 0 reject", {"step 0 4 rejected active", "answer rejected", "not taken 0 rejected"}},
        {"save 0 end:b", {"step 0 5 applied ended", "answer applied", "draw 0 5"}},
        // An update after the end is ignored as before; only a save that begins one begins one.
        {"save 0 ignore", {"step 0 6 ignored ended", "answer ignored", "not taken 0 ignored"}},
        // Still drawing its end: that drawing is dropped with it.
        {"save 0 show:c begins",
         {again, "reclaimed 0", "admitted 0", "step 0 1 applied active", "answer applied",
          "draw 0 1"}},
        {"done 0", {"drawn 0 1"}},
        {"save 0 dismiss", {"step 0 2 applied dismissed", "answer applied", "draw 0 2 nothing"}},
        {"save 0 show:d begins",
         {again, "reclaimed 0", "admitted 0", "step 0 1 applied active", "answer applied",
          "draw 0 1"}},
        // A client's push is no save: an ended activity it reaches stays ended.
        {"push 0 end:d", {"step 0 2 applied ended", "answer applied"}},
        {"push 0 ignore", {"step 0 3 ignored ended", "answer ignored"}}},
       {64, 200, 0});
}

TEST(BoardStep, AnswersWithThePushsOwnStepAndItsWarningsServiceWarningsFirst) {
  BoardState state;
  TakenSteps steps = verdict("late:x", 5, nullptr);
  const Warning service(Warning::Kind::missingProviderToken, {}, "no token");
  BoardTransition next =
      boardStep(std::move(state), PushTaken{"0a", 5, 0, steps, {service}, false, std::nullopt});
  ASSERT_EQ(next.events.size(), 5u);  // admitted, two steps, the answer, the drawing
  const auto* answer = std::get_if<Answer>(&next.events[3]);
  ASSERT_NE(answer, nullptr);
  const TakenStep& own = std::get<TakenStep>(answer->result);
  EXPECT_TRUE(std::holds_alternative<updates::Ignored>(own.step.outcome));
  ASSERT_EQ(own.warnings.size(), 2u);
  EXPECT_EQ(own.warnings[0].kind, Warning::Kind::missingProviderToken);
  EXPECT_EQ(next.state.activities.front().state, S::stale);
  EXPECT_EQ(std::get<Draw>(next.events[4]).what.shown->content.title, "x")
      << "the newest state shown, the time step's";
}

TEST(BoardStep, ADrawingDroppedMeanwhileEndsNothing) {
  play({{"push 0a show:a",
         {"admitted 0a", "step 0a 1 applied active", "answer applied", "draw 0a 1"}},
        {"ended", {}},
        {"done 0a", {}},
        {"push 0a show:b", {"step 0a 2 applied active", "answer applied", "draw 0a 2"}},
        {"done 0a", {"drawn 0a 2"}}},
       {64, 200, 0});
}

}  // namespace
}  // namespace corvlin::host::board
