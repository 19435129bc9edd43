#include "host/server/activity_board.hpp"

#include <utility>

#include "host/board/event_writer.hpp"
#include "model/overloaded.hpp"

namespace corvlin::host::server {

ActivityBoard::ActivityBoard(PhoneSide phone, BoardLimits limits, Notice notice)
    : phone_(std::move(phone)), notice_(std::move(notice)) {
  if (!phone_.drawer) phone_.drawer = std::make_shared<InlineDrawer>();
  if (!phone_.frames.now) limits.frameSeconds = 0;  // nothing to pace by
  state_.limits = limits;
}

ActivityBoard::~ActivityBoard() {
  // Stopping takes a lock, which may throw; a destructor must not, and the drawer's own
  // destructor stops it whatever happens here.
  try {
    phone_.drawer->stop();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to do on this path
  }
}

void ActivityBoard::push(std::string_view token, std::string_view body, double now, PushDone done,
                         std::vector<Warning> serviceWarnings,
                         std::optional<board::Subscription> subscribes) {
  take(token, body, now, std::move(done), std::move(serviceWarnings), false, std::move(subscribes));
}

std::size_t ActivityBoard::broadcast(std::string_view channel, std::string_view body, double now,
                                     std::string_view outcome, std::vector<Warning> warnings) {
  const std::size_t reached = board::reachOf(state_.activities, channel);
  board::BroadcastTaken taken{std::string(channel),
                              now,
                              clock(),
                              {},
                              board::BroadcastNews{std::string(channel), now, reached,
                                                   std::string(outcome), std::move(warnings)}};
  for (const std::uint64_t id : board::subscribersOf(state_, channel)) {
    taken.subscribers.push_back({id, seats_.at(id).rules->apply(body, now)});
  }
  feed(std::move(taken));
  return reached;
}

board::JoinResult ActivityBoard::addSubscribers(std::string_view channel, std::size_t count,
                                                std::string_view startBody, double now,
                                                std::optional<std::string> stored) {
  // The group's own rules judge its start once, for every one of its subscribers.
  Pushing pushing{nullptr, Seat{phone_.rules(), nullptr}, std::nullopt};
  board::TakenSteps verdict = pushing.newcomer->rules->apply(startBody, now);
  feed(board::SubscribersJoined{std::string(channel), count, now, clock(), std::move(verdict),
                                std::move(stored)},
       &pushing);
  if (!pushing.joined)
    return board::SubscribersRefused{500, "InternalServerError", "the board did not answer"};
  return std::move(*pushing.joined);
}

void ActivityBoard::channelDeleted(std::string_view channel, double now) {
  feed(board::ChannelDeleted{std::string(channel), now});
}

void ActivityBoard::pushSave(std::string_view token, std::string_view body, bool begins,
                             double now) {
  feed(board::WatchSaved{std::string(token), begins, now});
  take(token, body, now, nullptr, {}, true, std::nullopt);
}

void ActivityBoard::take(std::string_view token, std::string_view body, double now, PushDone done,
                         std::vector<Warning> serviceWarnings, bool watched,
                         std::optional<board::Subscription> subscribes) {
  Pushing pushing{std::move(done), std::nullopt, std::nullopt};
  const board::ActivityRecord* record = board::findActivity(state_, token);
  ActivityRules* rules = nullptr;
  if (record != nullptr) {
    rules = seats_.at(record->id).rules.get();
  } else {
    // The rules of a new token judge its push; they are its own if the step admits it.
    pushing.newcomer = Seat{phone_.rules(), nullptr};
    rules = pushing.newcomer->rules.get();
  }
  board::TakenSteps verdict = rules->apply(body, now);
  feed(board::PushTaken{std::string(token), now, clock(), std::move(verdict),
                        std::move(serviceWarnings), watched, std::move(subscribes)},
       &pushing);
}

void ActivityBoard::noteRefusal(std::string_view token, unsigned status, std::string_view reason,
                                std::string_view detail, double now) {
  feed(board::PushRefused{std::string(token), status, std::string(reason), std::string(detail),
                          now});
}

void ActivityBoard::noteWatch(std::string_view note, double now) {
  feed(board::WatchNoted{std::string(note), now});
}

std::uint64_t ActivityBoard::listen(Listener listener, std::optional<double> catchUpAt) {
  if (catchUpAt) feed(board::CatchUpAsked{0, *catchUpAt}, nullptr, &listener);
  return listeners_.add(std::move(listener));
}

void ActivityBoard::endExtensions() {
  feed(board::ExtensionsEnded{});
  // Each drawing under way is dropped unanswered with its process.
  for (auto& [id, seat] : seats_) seat.extension.reset();
  // The drawer's results and the frame timer go through the event loop, which may end first.
  phone_.drawer->stop();
  phone_.frames = {};
}

void ActivityBoard::feed(board::BoardInput input, Pushing* pushing, const Listener* catchingUp) {
  board::BoardTransition next = board::boardStep(std::move(state_), std::move(input));
  state_ = std::move(next.state);
  // Whoever is told may push again, within this call: the state is the step's already.
  for (board::BoardEvent& event : next.events) carryOut(event, pushing, catchingUp);
}

void ActivityBoard::carryOut(board::BoardEvent& event, Pushing* pushing,
                             const Listener* catchingUp) {
  std::visit(
      Overloaded{
          [&](board::Stepped& e) {
            noteWarnings(e.token, e.taken.warnings);
            if (!listeners_.empty()) tell(board::eventJson(e));
          },
          [&](board::Drawn& e) {
            noteWarnings(e.token, e.drawing->clipped);
            if (!listeners_.empty()) listeners_.tell(drawingEvent(e));
          },
          [&](board::Broadcasted& e) {
            if (!listeners_.empty()) tell(board::eventJson(e));
          },
          [&](board::Refusal& e) {
            if (notice_) notice_(board::noticeJson(e));
            if (!listeners_.empty()) tell(board::eventJson(e));
          },
          [&](board::Watched& e) {
            if (notice_) notice_("corvlin-host: --watch: " + e.log.detail);
            if (!listeners_.empty()) tell(board::eventJson(e));
          },
          [&](board::SaveNotTaken& e) {
            if (notice_) notice_(board::noticeJson(e));
          },
          [&](board::Reclaimed& e) {
            seats_.erase(e.id);  // with its extension process
            sent_.erase(e.id);
            if (!listeners_.empty()) tell(board::eventJson(e));
          },
          [&](board::CatchUp& e) {
            if (catchingUp == nullptr) return;
            const auto told = [catchingUp](std::string text) {
              (*catchingUp)(std::make_shared<const std::string>(std::move(text)));
            };
            told(board::catchUpStartJson(e));
            for (const LogEntry& entry : e.log) told(board::loggedEventJson(entry));
            for (const board::Drawn& drawn : e.drawings) (*catchingUp)(drawingEvent(drawn));
          },
          [&](board::Admitted& e) {
            if (pushing == nullptr || !pushing->newcomer) return;
            pushing->newcomer->extension = phone_.extension();
            seats_.emplace(e.id, std::move(*pushing->newcomer));
            pushing->newcomer.reset();
          },
          [&](board::Answer& e) {
            if (pushing != nullptr && pushing->done) std::exchange(pushing->done, {})(e.result);
          },
          [&](board::Joined& e) {
            if (pushing != nullptr) pushing->joined = std::move(e.result);
          },
          [&](board::Draw& e) { draw(e); },
          [&](board::DeliverStored& e) {
            const auto seat = seats_.find(e.id);
            if (seat == seats_.end()) return;
            board::BroadcastTaken taken{e.channel, e.now, clock(), {}};
            taken.subscribers.push_back({e.id, seat->second.rules->apply(e.body, e.now)});
            feed(std::move(taken));
          },
          [&](board::WakeAt& e) {
            if (phone_.frames.wakeAt) {
              phone_.frames.wakeAt(e.clock, [this] { feed(board::FrameTick{clock()}); });
            }
          },
          [&](board::DrawingLost& e) {
            if (notice_) {
              notice_("corvlin-host: the drawing of " + e.token + " could not be made: " + e.why);
            }
          },
      },
      event);
}

void ActivityBoard::tell(std::string event) { listeners_.tell(std::move(event)); }

void ActivityBoard::noteWarnings(const std::string& token, const std::vector<Warning>& warnings) {
  if (!notice_) return;
  for (const Warning& warning : warnings) notice_(board::noticeJson(warning, token));
}

}  // namespace corvlin::host::server
