// Stand-ins for the phone side of the owner of the activities: rules scripted by the push's
// body, and extensions that answer when the test says so, ready again when the test says so.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/server/activity_board.hpp"

namespace corvlin::host::server::stand_ins {

// A valid answer of the extension: every presentation, each a text or nothing.
extern const std::string validAnswer;

// A push's own step at `now`, applied.
updates::Step pushStep(double now, updates::StepEvent event);
updates::Shown shownTitled(std::string_view title);

// The body names the outcome: "ignore", "reject", "stale+TITLE" (a stale date passed: a time
// step shown titled "stale", then the push applied), anything else applied with that title.
class ScriptedRules final : public ActivityRules {
 public:
  board::TakenSteps apply(std::string_view body, double now) override;
};

// Holds every question until the test answers it, as the event loop's extensions do. When
// `paced`, the board's frame clock is the test's: it stands still until the test says a frame
// has passed.
struct LaterSeats {
  struct Question {
    std::string line;
    ExtensionSeat::Answered answered;
  };
  bool paced = false;
  std::vector<Question> open;
  std::vector<std::string> titles;  // of every question asked, in order
  double clock = 0;
  std::function<void()> tick;  // the board's wake-up, when it asked for one
  PhoneSide side();
  // Answers the open question whose request names `title`: a crash when it is "crash".
  void answer(const std::string& title);
  // A frame passes, and the board is woken when it asked to be.
  void frame();
};

// Seats that answer at once, within the question: a valid answer, or a crash when the title is
// "crash". `asked` counts the questions.
struct Seats {
  int asked = 0;
  PhoneSide side();
};

// A push to a board whose seats answer at once: it is finished within the call.
PushResult pushNow(ActivityBoard& board, std::string_view token, std::string_view body, double now);

// What a listener heard, one line an event: "0a step 2 applied: reason", "0a drawn 2", and in a
// catch-up "catch up: 0a 0b" and "0a logged applied".
std::string heardAs(const std::string& event);
// The outcome's name, or "too many".
std::string outcomeOf(const PushResult& result);

}  // namespace corvlin::host::server::stand_ins
