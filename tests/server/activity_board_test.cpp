// The owner of the activities with stand-in rules and extensions: bounds, redrawing, the
// failed extension in the activity's place, the log and the events.
#include "host/server/activity_board.hpp"

#include <gtest/gtest.h>
#include <simdjson.h>

#include "host/server/server_page.hpp"

namespace corvlin::host::server {
namespace {

const std::string validAnswer =
    R"({"presentations":{"lockScreen":{"type":"Text","text":"stand-in","modifiers":[]},)"
    R"("dynamicIsland":{"expanded":[)"
    R"({"position":"leading","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"trailing","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"bottom","priority":0,"content":{"type":"EmptyView","modifiers":[]}}],)"
    R"("compactLeading":{"type":"EmptyView","modifiers":[]},)"
    R"("compactTrailing":{"type":"EmptyView","modifiers":[]},)"
    R"("minimal":{"type":"EmptyView","modifiers":[]}}}})";

// A push's own step at `now`, applied.
updates::Step pushStep(double now, updates::StepEvent event) {
  return {Instant{now}, 0, event, updates::Applied{}, std::nullopt, std::nullopt};
}

updates::Shown shownTitled(std::string_view title) {
  return {std::nullopt, ContentState{std::string(title), {}, {}, {}, {}, {}, {}, {}, {}}};
}

// The body names the outcome: "ignore", "reject", anything else is applied with that title.
class ScriptedRules final : public ActivityRules {
 public:
  std::vector<TakenStep> apply(std::string_view body, double now) override {
    updates::Step step = pushStep(now, updates::StepEvent::update);
    step.state = updates::ActivityState::active;
    if (body == "ignore") {
      step.outcome = updates::Ignored{updates::Reason::olderThanLastUpdate};
    } else if (body == "reject") {
      step.event.reset();
      step.outcome = updates::Rejected{DecodingError{DecodingError::Kind::keyNotFound,
                                                     {std::string("aps"), std::string("event")},
                                                     "No value associated with key \"event\"."}};
    } else {
      step.shown = shownTitled(body);
    }
    return {{step, {}}};
  }
};

// Answers, or fails when the title is "crash"; counts the questions.
struct Seats {
  int asked = 0;
  PhoneSide side() {
    return {[] { return std::make_unique<ScriptedRules>(); },
            [this] { return std::make_unique<Seat>(this); }};
  }
  struct Seat final : ExtensionSeat {
    explicit Seat(Seats* s) : seats(s) {}
    void ask(std::string line, Answered answered) override {
      ++seats->asked;
      if (line.find("\"title\":\"crash\"") != std::string::npos) {
        return answered(Failure{ExtensionFailure{ExtensionFailure::Kind::crashed, "it crashed"}});
      }
      answered(validAnswer);
    }
    Seats* seats;
  };
};

// A push to a board whose seats answer at once: it is finished within the call.
PushResult pushNow(ActivityBoard& board, std::string_view token, std::string_view body,
                   double now) {
  std::optional<PushResult> result;
  board.push(token, body, now, [&](PushResult r) { result = std::move(r); });
  EXPECT_TRUE(result.has_value());
  return result.value_or(TooManyActivities{});
}

std::string outcomeOf(const PushResult& result) {
  if (std::holds_alternative<TooManyActivities>(result)) return "too many";
  return std::string(updates::outcomeName(std::get<TakenStep>(result).step.outcome));
}

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
  EXPECT_EQ(board.log().back(), (LogEntry{12, "04", "", "refused", "TooManyRequests", {}}));
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
    const ActivityView& view = board.activities().front();
    EXPECT_EQ(std::holds_alternative<ui::Presentations>(view.rendered.outcome), c.presentations);
    EXPECT_EQ(std::holds_alternative<ExtensionFailure>(view.rendered.outcome), !c.presentations);
    EXPECT_TRUE(view.lastGood.has_value()) << "the last good presentations are kept";
    EXPECT_EQ(board.log().back().detail, c.detail);
  }
}

TEST(ActivityBoard, TellsItsListenersEveryChange) {
  Seats seats;
  ActivityBoard board(seats.side());
  std::vector<std::string> heard;
  const auto id = board.listen([&](const auto& event) { heard.push_back(*event); });
  pushNow(board, "0A", "Hello", 5);
  board.noteRefusal("0b", "BadPriority", 6);
  board.stopListening(id);
  pushNow(board, "0a", "unheard", 7);
  ASSERT_EQ(heard.size(), 2u);

  simdjson::dom::parser parser;
  simdjson::dom::element event = parser.parse(heard[0]);
  EXPECT_EQ(std::string_view(event["token"]), "0a");
  EXPECT_EQ(std::string_view(event["step"]["outcome"]), "applied");
  EXPECT_EQ(std::string_view(event["step"]["state"]), "active");
  EXPECT_EQ(double(event["step"]["at"]), 5);
  EXPECT_EQ(std::string_view(event["presentations"]["lockScreen"]["text"]), "stand-in");
  EXPECT_NE(std::string_view(event["html"]).find("data-token=\"0a\""), std::string_view::npos);
  EXPECT_EQ(std::string_view(event["log"]["outcome"]), "applied");

  simdjson::dom::element refusal = parser.parse(heard[1]);
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

// Holds every question until the test answers it, as the event loop's extensions do.
struct LaterSeats {
  struct Question {
    std::string line;
    ExtensionSeat::Answered answered;
  };
  std::vector<Question> open;
  PhoneSide side() {
    return {[] { return std::make_unique<ScriptedRules>(); },
            [this] { return std::make_unique<Seat>(this); }};
  }
  struct Seat final : ExtensionSeat {
    explicit Seat(LaterSeats* s) : seats(s) {}
    void ask(std::string line, Answered answered) override {
      seats->open.push_back({std::move(line), std::move(answered)});
    }
    LaterSeats* seats;
  };
  // Answers the open question whose request names `title`.
  void answer(const std::string& title) {
    for (auto it = open.begin(); it != open.end(); ++it) {
      if (it->line.find("\"title\":\"" + title + "\"") == std::string::npos) continue;
      auto answered = std::move(it->answered);
      open.erase(it);
      return answered(validAnswer);
    }
    ADD_FAILURE() << "no open question for " << title;
  }
};

TEST(ActivityBoard, KeepsEachActivitysPushOrderWhileOthersDrawAtOnce) {
  LaterSeats seats;
  ActivityBoard board(seats.side());
  std::vector<std::string> heard;  // "token step-outcome", in the order told
  board.listen([&](const auto& event) {
    simdjson::dom::parser parser;
    simdjson::dom::element e = parser.parse(*event);
    heard.push_back(std::string(std::string_view(e["token"])) + " " +
                    std::string(std::string_view(e["log"]["detail"])) +
                    std::string(std::string_view(e["step"]["outcome"])));
  });
  std::vector<std::string> answered;  // the push each answer went to, by its outcome
  const auto push = [&](const char* token, const char* body, double now) {
    board.push(token, body, now, [&, token, body](PushResult result) {
      answered.push_back(std::string(token) + " " + body + " " + outcomeOf(result));
    });
  };
  push("0a", "a1", 1);
  push("0b", "b1", 2);
  push("0a", "ignore", 3);
  push("0a", "a2", 4);
  ASSERT_EQ(seats.open.size(), 2u) << "one question per activity at a time";
  seats.answer("b1");  // the second activity's drawing ends first
  seats.answer("a1");
  ASSERT_EQ(seats.open.size(), 1u) << "the next drawing of 0a is asked once the last is done";
  push("0b", "reject", 5);
  seats.answer("a2");
  EXPECT_TRUE(seats.open.empty());
  EXPECT_EQ(answered,
            (std::vector<std::string>{"0b b1 applied", "0a a1 applied", "0a ignore ignored",
                                      "0b reject rejected", "0a a2 applied"}));
  EXPECT_EQ(heard, (std::vector<std::string>{"0b applied", "0a applied",
                                             "0a older than the last updateignored",
                                             "0b keyNotFound at aps.event: No value associated "
                                             "with key \"event\".rejected",
                                             "0a applied"}));
  ASSERT_EQ(board.log().size(), 5u);
  EXPECT_EQ(board.log().back().at, 4) << "each push is logged at its own instant";
  EXPECT_EQ(board.activities()[0].renderedAt, 4);
  EXPECT_EQ(board.activities()[1].renderedAt, 2);
}

TEST(ActivityBoard, DropsTheWaitingPushesWhenItsExtensionsEnd) {
  LaterSeats seats;
  ActivityBoard board(seats.side());
  int answered = 0;
  board.push("0a", "a1", 1, [&](PushResult) { ++answered; });
  board.push("0a", "a2", 2, [&](PushResult) { ++answered; });
  ASSERT_EQ(seats.open.size(), 1u);
  board.endExtensions();
  seats.answer("a1");  // an answer already on its way when the extensions were ended
  EXPECT_EQ(answered, 0);
  EXPECT_EQ(board.log().size(), 0u);
}

// The body is the activity's state after the push: "ended" (still shown), "dismissed" (gone
// from the phone), "rejected" (nothing starts), anything else active and shown with that title.
class StateRules final : public ActivityRules {
 public:
  std::vector<TakenStep> apply(std::string_view body, double now) override {
    using S = updates::ActivityState;
    updates::Step step =
        pushStep(now, body == "ended" || body == "dismissed" ? updates::StepEvent::end
                                                             : updates::StepEvent::update);
    if (body == "rejected") {
      step.outcome =
          updates::Rejected{DecodingError{DecodingError::Kind::dataCorrupted, {}, "not JSON"}};
      return {{step, {}}};
    }
    step.state = body == "ended" ? S::ended : body == "dismissed" ? S::dismissed : S::active;
    if (body != "dismissed") step.shown = shownTitled(body);
    return {{step, {}}};
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
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_EQ(heard.back(), R"({"token":"0a","reclaimed":true,"now":5})");
  board.push("0e", "e1", 6, nullptr);  // all live, though 0b and 0d are still drawing
  EXPECT_EQ(tokensOf(board), (std::vector<std::string>{"0b", "0c", "0d"}));
  seats.answer("b1");  // asked when 0b was second; it is first now
  EXPECT_EQ(board.activities()[0].state, "active");
  EXPECT_EQ(board.activities()[0].renderedAt, 2);
  EXPECT_EQ(board.activities()[1].renderedAt, 3) << "0c keeps its own drawing";
  EXPECT_EQ(board.activities()[2].state, "not started") << "0d is still drawing";
  seats.answer("d1");
  EXPECT_EQ(board.activities()[2].renderedAt, 5);
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
  EXPECT_EQ(board.activities()[0].renderedAt, 3);
}

}  // namespace
}  // namespace corvlin::host::server
