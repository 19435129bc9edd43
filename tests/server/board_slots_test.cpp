// The owner of the activities when a new token takes the slot of an activity gone from the
// phone: the activities after it move up, and each drawing's answer still finds its own.
#include <gtest/gtest.h>

#include "board_test_support.hpp"
#include "host/server/activity_board.hpp"

namespace corvlin::host::server {
namespace {

using stand_ins::LaterSeats;
using stand_ins::outcomeOf;
using stand_ins::pushNow;
using stand_ins::pushStep;
using stand_ins::Seats;
using stand_ins::shownTitled;

// The body is the activity's state after the push: "ended" (still shown), "dismissed" (gone
// from the phone), "rejected" (nothing starts), anything else active and shown with that title.
class StateRules final : public ActivityRules {
 public:
  board::TakenSteps apply(std::string_view body, double now) override {
    using S = updates::ActivityState;
    updates::Step step =
        pushStep(now, body == "ended" || body == "dismissed" ? updates::StepEvent::end
                                                             : updates::StepEvent::update);
    if (body == "rejected") {
      step.outcome =
          updates::Rejected{DecodingError{DecodingError::Kind::dataCorrupted, {}, "not JSON"}};
      return {{{step, {}}}, 0};
    }
    step.state = body == "ended" ? S::ended : body == "dismissed" ? S::dismissed : S::active;
    if (body != "dismissed") step.shown = shownTitled(body);
    return {{{step, {}}}, 0};
  }
};

std::vector<std::string> tokensOf(const ActivityBoard& board) {
  std::vector<std::string> tokens;
  for (const auto& view : board.activities()) tokens.push_back(view.token);
  return tokens;
}

TEST(ActivityBoard, ANewTokenTakesTheSlotOfAnActivityGoneFromThePhone) {
  struct Case {
    const char* token;
    const char* body;
    const char* outcome;
    std::vector<std::string> tokens;  // the board's activities after the push
  };
  const std::vector<Case> cases = {
      {"01", "one", "applied", {"01"}},
      {"02", "two", "applied", {"01", "02"}},
      {"03", "three", "applied", {"01", "02", "03"}},
      {"01", "ended", "applied", {"01", "02", "03"}},
      {"02", "dismissed", "applied", {"01", "02", "03"}},
      {"03", "dismissed", "applied", {"01", "02", "03"}},
      // The dismissed first, the one dismissed longest ago first, though 01 ended before both.
      {"04", "four", "applied", {"01", "03", "04"}},
      {"05", "rejected", "rejected", {"01", "04", "05"}},
      // Never started: gone from the phone too, before any ended one.
      {"06", "six", "applied", {"01", "04", "06"}},
      // Then the oldest ended.
      {"07", "seven", "applied", {"04", "06", "07"}},
      // Only live activities are refused a slot.
      {"08", "eight", "too many", {"04", "06", "07"}},
      {"04", "four again", "applied", {"04", "06", "07"}},
  };
  Seats seats;
  PhoneSide side = seats.side();
  side.rules = [] { return std::make_unique<StateRules>(); };
  ActivityBoard board(std::move(side), {3, 200});
  double now = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.token) + " " + c.body);
    EXPECT_EQ(outcomeOf(pushNow(board, c.token, c.body, ++now)), c.outcome);
    EXPECT_EQ(tokensOf(board), c.tokens);
  }
  EXPECT_EQ(board.log().front(), (LogEntry{1, "01", "update", "applied", "", {}}))
      << "a reclaimed activity's steps stay in the log";
}

TEST(ActivityBoard, AnAnswerFindsItsOwnActivityAfterAnotherGaveUpItsSlot) {
  LaterSeats seats;
  PhoneSide side = seats.side();
  side.rules = [] { return std::make_unique<StateRules>(); };
  ActivityBoard board(std::move(side), {3, 200});
  std::vector<std::string> heard;
  board.listen([&](const auto& event) { heard.push_back(*event); });
  board.push("0a", "a1", 1, nullptr);
  board.push("0b", "b1", 2, nullptr);
  board.push("0c", "c1", 3, nullptr);
  seats.answer("a1");
  seats.answer("c1");
  board.push("0a", "dismissed", 4, nullptr);
  board.push("0d", "d1", 5, nullptr);  // takes 0a's slot: 0b and 0c move up
  ASSERT_EQ(tokensOf(board), (std::vector<std::string>{"0b", "0c", "0d"}));
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard[heard.size() - 2], R"({"token":"0a","reclaimed":true,"now":5})")
      << "before 0d's step";
  board.push("0e", "e1", 6, nullptr);  // all live, though 0b and 0d are still drawing
  EXPECT_EQ(tokensOf(board), (std::vector<std::string>{"0b", "0c", "0d"}));
  seats.answer("b1");  // asked when 0b was second; it is first now
  EXPECT_EQ(board.activities()[0].state, updates::ActivityState::active);
  EXPECT_EQ(board.activities()[0].drawnAt, 2);
  EXPECT_EQ(board.activities()[1].drawnAt, 3) << "0c keeps its own drawing";
  EXPECT_EQ(board.activities()[2].state, updates::ActivityState::active)
      << "its state is the rules', at once";
  EXPECT_EQ(board.activities()[2].drawnPush, 0u) << "0d is still drawing";
  seats.answer("d1");
  EXPECT_EQ(board.activities()[2].drawnAt, 5);
}

TEST(ActivityBoard, AWaitingPushIsStillDrawnWhenItsActivityMoves) {
  LaterSeats seats;
  PhoneSide side = seats.side();
  side.rules = [] { return std::make_unique<StateRules>(); };
  ActivityBoard board(std::move(side), {2, 200});
  board.push("0a", "dismissed", 1, nullptr);
  board.push("0b", "b1", 2, [&](PushResult) {
    board.push("0c", "c1", 4, nullptr);  // told of b1, one pushes for a new token: 0b moves up
  });
  board.push("0b", "b2", 3, nullptr);
  seats.answer("b1");
  EXPECT_EQ(tokensOf(board), (std::vector<std::string>{"0b", "0c"}));
  ASSERT_EQ(seats.open.size(), 2u) << "b2 is asked for, as c1 is";
  seats.answer("b2");
  EXPECT_EQ(board.activities()[0].drawnAt, 3);
}

}  // namespace
}  // namespace corvlin::host::server
