#include "host/server/activity_board.hpp"

#include <optional>

#include "host/server/server_page.hpp"
#include "json/error.hpp"
#include "json/writer.hpp"
#include "model/coding.hpp"
#include "protocol/answer.hpp"
#include "protocol/request.hpp"

namespace corvlin::host::server {

namespace {

bool anyApplied(const std::vector<TakenStep>& steps) {
  for (const auto& taken : steps) {
    if (std::holds_alternative<updates::Applied>(taken.step.outcome)) return true;
  }
  return false;
}

// The state a view names, for a step of its own; none before the activity started.
std::optional<updates::ActivityState> stateNamed(std::string_view name) {
  using S = updates::ActivityState;
  for (S state : {S::active, S::stale, S::ended, S::dismissed}) {
    if (updates::stateName(state) == name) return state;
  }
  return std::nullopt;
}

// The push's own step, for its answer.
TakenStep ownStep(const std::vector<TakenStep>& steps, double now, std::string_view state) {
  for (const auto& taken : steps) {
    if (taken.ofThePush()) return taken;
  }
  // The rules always give the push a step of its own; this would be a fault of theirs.
  updates::Step missing{
      Instant{now},
      std::nullopt,
      std::nullopt,
      updates::Rejected{DecodingError{
          DecodingError::Kind::dataCorrupted, {}, "The update rules gave this push no step."}},
      stateNamed(state),
      std::nullopt};
  return TakenStep{std::move(missing), {}};
}

}  // namespace

ActivityBoard::ActivityBoard(PhoneSide phone, BoardLimits limits, Notice notice,
                             std::shared_ptr<drawing::Fonts> fonts)
    : phone_(std::move(phone)),
      limits_(limits),
      notice_(std::move(notice)),
      fonts_(std::move(fonts)),
      fontsTried_(fonts_ != nullptr) {}

void ActivityBoard::push(std::string_view rawToken, std::string_view body, double now,
                         PushDone done, std::vector<Warning> serviceWarnings) {
  const std::string token = canonicalToken(rawToken);
  std::size_t index = 0;
  while (index < views_.size() && views_[index].token != token) ++index;
  if (index == views_.size()) {
    if (views_.size() >= limits_.maxActivities && !reclaimSlot(now)) {
      noteRefusal(token, "TooManyRequests", now);
      if (done) done(TooManyActivities{});
      return;
    }
    ActivityView view;
    view.token = token;
    view.state = "not started";
    index = views_.size();
    views_.push_back(std::move(view));
    seats_.push_back({phone_.rules(), phone_.extension(), {}, false, ++seatsMade_});
  }
  std::vector<TakenStep> steps = seats_[index].rules->apply(body, now);
  if (!serviceWarnings.empty()) {
    for (TakenStep& taken : steps) {
      if (!taken.ofThePush()) continue;
      taken.warnings.insert(taken.warnings.begin(),
                            std::make_move_iterator(serviceWarnings.begin()),
                            std::make_move_iterator(serviceWarnings.end()));
      break;
    }
  }
  const std::uint64_t ordinal = ++views_[index].pushes;
  if (anyApplied(steps)) {
    // What the activity shows may have changed: its newest state replaces any not yet drawn.
    seats_[index].pending = Pending{steps.back().step.shown, now, ordinal};
  }
  const std::uint64_t id = seats_[index].id;
  takeSteps(index, steps);
  if (done) done(ownStep(steps, now, views_[index].state));
  // Whoever was told may have pushed for a new token, which may have moved this activity.
  drawNext(id);
}

// Draws the newest state of one activity: at once when no extension is needed, else by asking
// it, and then again if a push changed the state while it drew.
void ActivityBoard::drawNext(std::uint64_t id) {
  for (std::size_t index = seatIndex(id);
       index < seats_.size() && !seats_[index].drawing && seats_[index].pending;
       index = seatIndex(id)) {
    Seat& seat = seats_[index];
    if (seat.pending->shown && seat.extension && !seat.ready) {
      // The state stays pending until the extension is ready, so that the newest one is drawn
      // then. `then` may be called within this call.
      if (seat.waiting) return;
      seat.waiting = true;
      seat.extension->whenReady([this, id] {
        const std::size_t at = seatIndex(id);
        if (at == seats_.size() || !seats_[at].waiting) return;
        seats_[at].waiting = false;
        seats_[at].ready = true;
        drawNext(id);
      });
      return;
    }
    const Pending drawn = std::move(*seat.pending);
    seat.pending.reset();
    if (!drawn.shown) {
      settle(index, {}, drawn);
      continue;
    }
    auto coded = encodeActivity(Activity{drawn.shown->attributes, drawn.shown->content, false});
    if (!seat.extension || !coded) {
      // A state decoded from JSON holds nothing JSON cannot carry; the second is never reached.
      settle(
          index,
          renderedAs(seat.extension
                         ? ActivityOutcome{DecodingError{
                               DecodingError::Kind::dataCorrupted, {}, coded.error().description}}
                         : ActivityOutcome{ExtensionFailure{ExtensionFailure::Kind::cannotStart,
                                                            "the server is stopping"}}),
          drawn);
      continue;
    }
    seat.ready = false;
    seat.drawing = true;
    // The answer may come within this call or later from the event loop. It finds its activity
    // by the seat's number, as a slot freed meanwhile moves the activities after it.
    seat.extension->ask(
        protocol::requestLine(coded.value().contentState, coded.value().attributes, drawn.now),
        [this, id, drawn](Result<std::string, ExtensionFailure> answer) {
          const std::size_t at = seatIndex(id);
          // Unless the extensions were ended meanwhile.
          if (at == seats_.size() || !seats_[at].drawing) return;
          seats_[at].drawing = false;
          settle(at,
                 renderedAs(answer ? protocol::readAnswer(answer.value())
                                   : ActivityOutcome{answer.error()}),
                 drawn);
          drawNext(id);
        });
    return;
  }
}

drawing::Fonts* ActivityBoard::fonts() {
  if (!fontsTried_) {
    fontsTried_ = true;
    auto opened = drawing::Fonts::open(drawing::defaultFontFiles());
    if (opened) {
      fonts_ = std::shared_ptr<drawing::Fonts>(std::move(opened).value());
    } else if (notice_) {
      notice_("corvlin-host: cannot lay out the presentations: " + opened.error());
    }
  }
  return fonts_.get();
}

void ActivityBoard::noteWarnings(const std::string& token, const std::vector<Warning>& warnings) {
  if (!notice_) return;
  for (const Warning& warning : warnings) {
    // The token is the last member inside "warning", as a list's lines name their activity.
    std::string member = ",\"token\":";
    json::appendString(member, token);
    std::string line = warningJson(warning);
    line.insert(line.size() - 2, member);
    notice_(std::move(line));
  }
}

void ActivityBoard::takeSteps(std::size_t index, const std::vector<TakenStep>& steps) {
  ActivityView& view = views_[index];
  for (const auto& taken : steps) {
    if (taken.step.state && view.state != updates::stateName(*taken.step.state)) {
      view.state = std::string(updates::stateName(*taken.step.state));
      seats_[index].drawingEvent.reset();  // it names the state
    }
    LogEntry entry = logEntry(taken, view.token);
    noteWarnings(view.token, taken.warnings);
    if (!listeners_.empty()) listeners_.tell(pushEventJson(view, taken, entry));
    remember(std::move(entry));
  }
}

void ActivityBoard::settle(std::size_t index, RenderedActivity rendered, const Pending& drawn) {
  ActivityView& view = views_[index];
  if (const auto* p = std::get_if<ui::Presentations>(&rendered.outcome)) view.lastGood = *p;
  view.rendered = std::move(rendered);
  view.renderedAt = drawn.now;
  view.serial = ++drawings_;
  view.drawnPush = drawn.push;
  // What it now shows laid out, which the page places it by, and what the phone cuts off.
  view.laidOut.reset();
  view.clipped.clear();
  const auto* shown = std::get_if<ui::Presentations>(&view.rendered.outcome);
  if (drawing::Fonts* measurer = shown ? fonts() : nullptr) {
    view.laidOut = layOutAnswer(*shown, drawn.shown ? &drawn.shown->content : nullptr,
                                {std::string("aps"), std::string("content-state")}, view.renderedAt,
                                layout::defaultLockScreenWidth, *measurer);
    view.clipped = view.laidOut->warnings;
  }
  noteWarnings(view.token, view.clipped);
  seats_[index].drawingEvent.reset();
  if (!listeners_.empty()) listeners_.tell(drawingEvent(index));
}

const std::shared_ptr<const std::string>& ActivityBoard::drawingEvent(std::size_t index) {
  auto& event = seats_[index].drawingEvent;
  if (!event) {
    event =
        std::make_shared<const std::string>(drawingEventJson(views_[index], views_[index].clipped));
  }
  return event;
}

void ActivityBoard::endExtensions() {
  for (auto& seat : seats_) {
    seat.extension.reset();  // its drawing under way, if any, is dropped unanswered
    seat.pending.reset();
    seat.drawing = false;
    seat.waiting = false;
  }
}

}  // namespace corvlin::host::server
