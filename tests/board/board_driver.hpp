// A board driven by lines of words, for the board's table tests: what happens in, and what
// follows said back in words.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/board/board_step.hpp"
#include "model/overloaded.hpp"

namespace corvlin::host::board::driven {

using S = updates::ActivityState;

inline updates::Shown shown(const std::string& title) {
  return {std::nullopt, ContentState{title, {}, {}, {}, {}, {}, {}, {}, {}}};
}

// The verdict the rules would give: "show:TITLE" applied and shown, "start:TITLE" a start so,
// "ignore" (the state kept), "reject" (no activity yet when the token is new), "end:TITLE" ended
// and still shown, "dismiss", and "late:TITLE" a time step (stale, applied) before the push's own
// step, which is ignored.
inline TakenSteps verdict(const std::string& kind, double now, const ActivityRecord* known) {
  updates::Step own{Instant{now},       0,         updates::StepEvent::update,
                    updates::Applied{}, S::active, std::nullopt};
  const std::string title = kind.substr(kind.find(':') + 1);
  if (kind.starts_with("show:")) {
    own.shown = shown(title);
  } else if (kind.starts_with("start:")) {
    own.event = updates::StepEvent::start;
    own.shown = shown(title);
  } else if (kind == "ignore") {
    own.outcome = updates::Ignored{updates::Reason::olderThanLastUpdate};
    if (known != nullptr) own.state = known->state;
  } else if (kind == "reject") {
    own.event.reset();
    own.outcome = updates::Rejected{DecodingError{DecodingError::Kind::dataCorrupted, {}, "x"}};
    if (known == nullptr) own.state.reset();
  } else if (kind.starts_with("end:")) {
    own.event = updates::StepEvent::end;
    own.state = S::ended;
    own.shown = shown(title);
  } else if (kind == "dismiss") {
    own.event = updates::StepEvent::end;
    own.state = S::dismissed;
  } else if (kind.starts_with("late:")) {
    updates::Step stale{Instant{now},
                        std::nullopt,
                        updates::StepEvent::stale,
                        updates::Applied{updates::Reason::staleDateReached},
                        S::stale,
                        shown(title)};
    own.outcome = updates::Ignored{updates::Reason::olderThanLastUpdate};
    own.state = S::stale;
    own.shown = shown(title);
    return {{{stale, {}}, {own, {Warning(Warning::Kind::emptyLabel, {}, "own")}}}, 1};
  }
  return {{{own, {}}}, 0};
}

// A board driven by actions, each a line: "push TOKEN KIND [CLOCK]", "done TOKEN [CLOCK]" (its
// drawing under way ends), "lost TOKEN" (it could not be made), "tick CLOCK", "refuse TOKEN
// REASON", "watch NOTE", "catchup", "ended"; of broadcast channels, "subscribe TOKEN CHANNEL
// KIND" (a start naming the channel), "join CHANNEL COUNT KIND [STORED]" (local subscribers),
// "broadcast CHANNEL KIND" (each subscriber's rules give KIND, or ignore it once ended or
// dismissed, as the update rules do), "delete CHANNEL". What follows each is said in words.
class Driver {
 public:
  explicit Driver(BoardLimits limits) { state_.limits = limits; }

  std::vector<std::string> run(const std::string& action) {
    std::istringstream in(action);
    std::string verb, token, kind;
    double clock = 0;
    in >> verb;
    BoardInput input = ExtensionsEnded{};
    if (verb == "push") {
      in >> token >> kind;
      in >> clock;
      const double now = ++now_;
      input = PushTaken{token, now,   clock,       verdict(kind, now, findActivity(state_, token)),
                        {},    false, std::nullopt};
    } else if (verb == "done" || verb == "lost") {
      in >> token >> clock;
      const auto found = drawing_.find(token);
      const std::uint64_t id = found == drawing_.end() ? 0 : found->second.first;
      const std::uint64_t serial = found == drawing_.end() ? 0 : found->second.second;
      if (verb == "lost") {
        input = DrawingFailed{id, serial, "out of memory", clock};
      } else {
        auto made = std::make_shared<Drawing>();
        made->rendered = renderedAs(ui::Presentations{});
        input = DrawingDone{id, serial, std::move(made), clock};
      }
    } else if (verb == "tick") {
      in >> clock;
      input = FrameTick{clock};
    } else if (verb == "refuse") {
      unsigned status = 0;
      std::string reason, detail;
      in >> token >> status >> reason;
      std::getline(in >> std::ws, detail);
      input = PushRefused{token, status, reason, detail, ++now_};
    } else if (verb == "save") {
      std::string begins;
      in >> token >> kind >> begins;
      const double now = ++now_;
      std::vector<std::string> said = step(WatchSaved{token, begins == "begins", now});
      const ActivityRecord* known = findActivity(state_, token);
      for (std::string& line :
           step(PushTaken{token, now, 0, verdict(kind, now, known), {}, true, std::nullopt})) {
        said.push_back(std::move(line));
      }
      return said;
    } else if (verb == "subscribe") {
      std::string channel;
      in >> token >> channel >> kind;
      const double now = ++now_;
      input = PushTaken{token,
                        now,
                        0,
                        verdict(kind, now, findActivity(state_, token)),
                        {},
                        false,
                        Subscription{channel, std::nullopt}};
    } else if (verb == "join") {
      std::size_t count = 0;
      std::string stored;
      in >> token >> count >> kind >> stored;
      const double now = ++now_;
      input = SubscribersJoined{token,
                                count,
                                now,
                                0,
                                verdict(kind, now, nullptr),
                                stored.empty() ? std::nullopt : std::optional(stored)};
    } else if (verb == "broadcast") {
      in >> token >> kind;
      const double now = ++now_;
      BroadcastTaken taken{
          token,
          now,
          0,
          {},
          BroadcastNews{token, now, reachOf(state_.activities, token), "delivered", {}}};
      for (const std::uint64_t id : subscribersOf(state_, token)) {
        const ActivityRecord* record = findActivityById(state_, id);
        const bool over = record->state == S::ended || record->state == S::dismissed;
        taken.subscribers.push_back({id, verdict(over ? "ignore" : kind, now, record)});
      }
      input = std::move(taken);
    } else if (verb == "delete") {
      in >> token;
      input = ChannelDeleted{token, ++now_};
    } else if (verb == "watch") {
      input = WatchNoted{action.substr(6), ++now_};
    } else if (verb == "catchup") {
      input = CatchUpAsked{7, ++now_};
    }
    return step(std::move(input));
  }

  const BoardState& state() const { return state_; }

 private:
  std::vector<std::string> step(BoardInput input) {
    BoardTransition next = boardStep(std::move(state_), std::move(input));
    state_ = std::move(next.state);
    std::vector<std::string> said;
    for (const BoardEvent& event : next.events) said.push_back(say(event));
    return said;
  }

  std::string say(const BoardEvent& event) {
    return std::visit(
        Overloaded{
            [](const Stepped& e) {
              return "step " + e.token +
                     (e.subscribers > 0 ? " x" + std::to_string(e.subscribers) : "") + " " +
                     std::to_string(e.push) + " " +
                     std::string(updates::outcomeName(e.taken.step.outcome)) + " " +
                     std::string(stateLabel(e.state));
            },
            [](const Drawn& e) { return "drawn " + e.token + " " + std::to_string(e.push); },
            [](const Refusal& e) {
              return "refusal " + e.log.token + " " + std::to_string(e.status) + " " + e.reason;
            },
            [](const SaveNotTaken& e) { return "not taken " + e.log.token + " " + e.log.outcome; },
            [](const Reclaimed& e) { return "reclaimed " + e.token; },
            [](const Watched& e) { return "watch " + e.log.detail; },
            [](const CatchUp& e) {
              std::string line = "catch up";
              for (const auto& token : e.tokens) line += " " + token;
              line += ", log " + std::to_string(e.log.size()) + ", drawn";
              for (const auto& drawn : e.drawings) line += " " + drawn.token;
              return line;
            },
            [](const Admitted& e) { return "admitted " + e.token; },
            [](const Answer& e) {
              if (std::holds_alternative<TooManyActivities>(e.result)) return std::string("429");
              const TakenStep& own = std::get<TakenStep>(e.result);
              return "answer " + std::string(updates::outcomeName(own.step.outcome)) +
                     (own.warnings.empty() ? "" : " warned");
            },
            [this](const Draw& e) {
              drawing_[e.token] = {e.id, e.serial};
              return "draw " + e.token + " " + std::to_string(e.what.push) +
                     (e.what.shown ? "" : " nothing");
            },
            [](const WakeAt& e) {
              std::ostringstream out;
              out << "wake " << e.clock;
              return out.str();
            },
            [](const DrawingLost& e) { return "lost " + e.token + ": " + e.why; },
            [](const DeliverStored& e) { return "deliver " + e.channel + " " + e.body; },
            [](const Broadcasted& e) {
              return "news " + e.news.channel + " to " + std::to_string(e.news.subscribers);
            },
            [](const Joined& e) {
              if (const auto* added = std::get_if<SubscribersAdded>(&e.result)) {
                return "joined " + added->token;
              }
              return "not joined: " + std::get<SubscribersRefused>(e.result).detail;
            },
        },
        event);
  }

  BoardState state_;
  double now_ = 0;
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> drawing_;
};

struct Action {
  std::string action;
  std::vector<std::string> said;
};

inline void play(const std::vector<Action>& actions, BoardLimits limits) {
  Driver driver(limits);
  for (const Action& a : actions) {
    SCOPED_TRACE(a.action);
    EXPECT_EQ(driver.run(a.action), a.said);
  }
}

}  // namespace corvlin::host::board::driven
