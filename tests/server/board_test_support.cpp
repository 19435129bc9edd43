#include "board_test_support.hpp"

#include <gtest/gtest.h>
#include <simdjson.h>

#include "support/stand_in_answer.hpp"

namespace corvlin::host::server::stand_ins {

const std::string validAnswer = test::standInAnswer;

updates::Step pushStep(double now, updates::StepEvent event) {
  return {Instant{now}, 0, event, updates::Applied{}, std::nullopt, std::nullopt};
}

updates::Shown shownTitled(std::string_view title) {
  return {std::nullopt, ContentState{std::string(title), {}, {}, {}, {}, {}, {}, {}, {}}};
}

board::TakenSteps ScriptedRules::apply(std::string_view body, double now) {
  updates::Step step = pushStep(now, updates::StepEvent::update);
  step.state = updates::ActivityState::active;
  if (body == "ignore") {
    step.outcome = updates::Ignored{updates::Reason::olderThanLastUpdate};
  } else if (body == "reject") {
    step.event.reset();
    step.outcome = updates::Rejected{DecodingError{DecodingError::Kind::keyNotFound,
                                                   {std::string("aps"), std::string("event")},
                                                   "No value associated with key \"event\"."}};
  } else if (body.starts_with("stale+")) {
    // A stale date that passed before the push: its time step, then the push's own.
    const updates::Step stale{Instant{now - 0.5},
                              std::nullopt,
                              updates::StepEvent::stale,
                              updates::Applied{updates::Reason::staleDateReached},
                              updates::ActivityState::stale,
                              shownTitled("stale")};
    step.shown = shownTitled(body.substr(6));
    return {{{stale, {}}, {step, {}}}, 1};
  } else {
    step.shown = shownTitled(body);
  }
  return {{{step, {}}}, 0};
}

namespace {

struct LaterSeat final : ExtensionSeat {
  explicit LaterSeat(LaterSeats* s) : seats(s) {}
  void ask(std::string line, Answered answered) override {
    const auto from = line.find("\"title\":\"") + 9;
    seats->titles.push_back(line.substr(from, line.find('"', from) - from));
    seats->open.push_back({std::move(line), std::move(answered)});
  }
  LaterSeats* seats;
};

struct AnsweringSeat final : ExtensionSeat {
  explicit AnsweringSeat(Seats* s) : seats(s) {}
  void ask(std::string line, Answered answered) override {
    ++seats->asked;
    if (line.find("\"title\":\"crash\"") != std::string::npos) {
      return answered(Failure{ExtensionFailure{ExtensionFailure::Kind::crashed, "it crashed"}});
    }
    answered(validAnswer);
  }
  Seats* seats;
};

}  // namespace

PhoneSide Seats::side() {
  return {[] { return std::make_unique<ScriptedRules>(); },
          [this] { return std::make_unique<AnsweringSeat>(this); },
          nullptr,
          {}};
}

PushResult pushNow(ActivityBoard& board, std::string_view token, std::string_view body,
                   double now) {
  std::optional<PushResult> result;
  board.push(token, body, now, [&](PushResult r) { result = std::move(r); });
  EXPECT_TRUE(result.has_value());
  return result.value_or(TooManyActivities{});
}

PhoneSide LaterSeats::side() {
  PhoneSide side{[] { return std::make_unique<ScriptedRules>(); },
                 [this] { return std::make_unique<LaterSeat>(this); },
                 nullptr,
                 {}};
  if (paced) {
    side.frames = {[this] { return clock; },
                   [this](double, std::function<void()> wake) { tick = std::move(wake); }};
  }
  return side;
}

void LaterSeats::answer(const std::string& title) {
  for (auto it = open.begin(); it != open.end(); ++it) {
    if (it->line.find("\"title\":\"" + title + "\"") == std::string::npos) continue;
    auto answered = std::move(it->answered);
    open.erase(it);
    if (title == "crash") {
      return answered(Failure{ExtensionFailure{ExtensionFailure::Kind::crashed, "it crashed"}});
    }
    return answered(validAnswer);
  }
  ADD_FAILURE() << "no open question for " << title;
}

void LaterSeats::frame() {
  clock += 1.0 / 60;
  if (auto wake = std::exchange(tick, nullptr)) wake();
}

std::string heardAs(const std::string& event) {
  simdjson::dom::parser parser;
  simdjson::dom::element e = parser.parse(event);
  if (!e["catchUp"].error()) {
    std::string line = "catch up:";
    for (const auto token : e["catchUp"].get_array())
      line += " " + std::string(token.get_string().value());
    return line;
  }
  std::string line{std::string_view(e["token"])};
  if (e["drawn"].error() && e["push"].error()) {
    return line + " logged " + std::string(std::string_view(e["log"]["outcome"]));
  }
  if (e["drawn"].error()) {
    return line + " step " + std::to_string(uint64_t(e["push"])) + " " +
           std::string(std::string_view(e["step"]["outcome"])) + ": " +
           std::string(std::string_view(e["log"]["detail"]));
  }
  line += " drawn " + std::to_string(uint64_t(e["drawn"]));
  if (!e["failure"].error()) line += " failed";
  return line;
}

std::string outcomeOf(const PushResult& result) {
  if (std::holds_alternative<TooManyActivities>(result)) return "too many";
  return std::string(updates::outcomeName(std::get<TakenStep>(result).step.outcome));
}

}  // namespace corvlin::host::server::stand_ins
