#include "host/board/board_step.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "host/board/board_stepper.hpp"

namespace corvlin::host::board {

namespace {

bool anyApplied(const std::vector<TakenStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const TakenStep& taken) {
    return std::holds_alternative<updates::Applied>(taken.step.outcome);
  });
}

// How readily an activity gives up its slot: 0 gone from the phone (dismissed, or never
// started: its pushes were all rejected), 1 ended (it takes no more updates, and only waits to
// be dismissed), 2 live (never).
int giveUpRank(const std::optional<updates::ActivityState>& state) {
  using S = updates::ActivityState;
  if (!state || *state == S::dismissed) return 0;
  return *state == S::ended ? 1 : 2;
}

}  // namespace

namespace stepping {

void Stepper::operator()(PushTaken& in) {
  const std::string token = canonicalToken(in.token);
  if (!s_.byToken.contains(token) && !admit(token, in.now)) {
    refuse(token, 429, "TooManyRequests",
           "all " + std::to_string(s_.limits.maxActivities) +
               " activities are live; one must end or be dismissed before a new token starts",
           in.now);
    emit(Answer{TooManyActivities{}});
    return;
  }
  ActivityRecord& record = s_.activities[s_.byToken.at(token)];
  std::vector<TakenStep>& steps = in.verdict.steps;
  if (in.verdict.own >= steps.size()) {
    // The rules always give the push a step of its own; this would be a fault of theirs.
    updates::Step missing{
        Instant{in.now},
        std::nullopt,
        std::nullopt,
        updates::Rejected{DecodingError{
            DecodingError::Kind::dataCorrupted, {}, "The update rules gave this push no step."}},
        record.state,
        std::nullopt};
    in.verdict.own = steps.size();
    steps.push_back({std::move(missing), {}});
  }
  std::vector<Warning>& own = steps[in.verdict.own].warnings;
  own.insert(own.begin(), std::make_move_iterator(in.serviceWarnings.begin()),
             std::make_move_iterator(in.serviceWarnings.end()));

  std::optional<LogEntry> ownEntry = take(record, in.verdict, in.now);
  const updates::Step& ownStep = steps[in.verdict.own].step;
  const bool taken = std::holds_alternative<updates::Applied>(ownStep.outcome);
  // A start that names a channel subscribes the activity it started, which receives the
  // channel's stored broadcast at once.
  const bool started = taken && ownStep.event == updates::StepEvent::start;
  emit(Answer{std::move(steps[in.verdict.own])});
  // A save the rules would not take is told where the person saving looks, as a refusal is.
  if (in.watched && !taken) emit(SaveNotTaken{std::move(*ownEntry)});
  if (started) record.channel.clear();
  if (started && in.subscribes) {
    record.channel = in.subscribes->channel;
    if (in.subscribes->stored) {
      emit(DeliverStored{record.id, record.channel, std::move(*in.subscribes->stored), in.now});
    }
  }
  drawNext(record, in.clock);
}

// The steps one push (or broadcast) caused on an activity: its state, the log and the step
// events, and the drawing its newest state waits for. The log entry of its own step comes back.
std::optional<LogEntry> Stepper::take(ActivityRecord& record, const TakenSteps& verdict,
                                      double now) {
  const std::vector<TakenStep>& steps = verdict.steps;
  const std::uint64_t push = ++record.pushes;
  if (anyApplied(steps)) {
    // What the activity shows may have changed: its newest state replaces any not yet drawn.
    record.pending = PendingDrawing{steps.back().step.shown, now, push};
  }
  std::optional<LogEntry> ownEntry;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const TakenStep& taken = steps[i];
    if (taken.step.state) record.state = taken.step.state;
    LogEntry entry = logEntry(taken, record.token);
    remember(entry);
    if (i == verdict.own) ownEntry = entry;
    emit(Stepped{record.token, record.subscribers, push, taken, record.state, std::move(entry)});
  }
  return ownEntry;
}

// A new token's activity takes a slot, when one is free or can be freed.
bool Stepper::admit(const std::string& token, double now) {
  // Groups of local subscribers have a budget of their own.
  const auto devices = std::count_if(s_.activities.begin(), s_.activities.end(),
                                     [](const ActivityRecord& r) { return r.subscribers == 0; });
  if (static_cast<std::size_t>(devices) >= s_.limits.maxActivities && !reclaimSlot(now)) {
    return false;
  }
  ActivityRecord record;
  record.id = ++s_.activitiesMade;
  record.token = token;
  s_.byToken.emplace(token, s_.activities.size());
  s_.activities.push_back(std::move(record));
  emit(Admitted{s_.activities.back().id, token});
  return true;
}

// The slot of the activity gone longest (the one whose drawing ended longest ago, of those
// readiest to give theirs up) is freed for a new token; its steps stay in the log. One still
// drawing, or with a state still to draw, keeps its slot.
bool Stepper::reclaimSlot(double now) {
  auto& all = s_.activities;
  auto chosen = all.end();
  const auto order = [](const ActivityRecord& r) {
    return std::pair(giveUpRank(r.state), r.drawnOrder);
  };
  for (auto it = all.begin(); it != all.end(); ++it) {
    // A drawing of nothing shown (the activity was dismissed) holds no slot: it only takes the
    // activity off the page, as giving the slot up does.
    if (it->subscribers > 0 || giveUpRank(it->state) == 2 || (it->drawing && !it->drawingNothing) ||
        it->pending) {
      continue;
    }
    if (chosen == all.end() || order(*it) < order(*chosen)) chosen = it;
  }
  if (chosen == all.end()) return false;
  leave(chosen, now);
  return true;
}

// The activity leaves the board and the page; its steps stay in the log, and a drawing of it
// still under way ends nothing.
void Stepper::leave(std::vector<ActivityRecord>::iterator gone, double now) {
  auto& all = s_.activities;
  emit(Reclaimed{gone->id, gone->token, now});
  all.erase(gone);
  s_.byToken.clear();
  for (std::size_t i = 0; i < all.size(); ++i) s_.byToken.emplace(all[i].token, i);
}

// A watched activity that has ended (or was dismissed) begins again on a save that starts one:
// the ended one leaves, and the save's push finds the token new, with rules of its own.
void Stepper::operator()(const WatchSaved& in) {
  using S = updates::ActivityState;
  const auto found = s_.byToken.find(canonicalToken(in.token));
  if (!in.begins || found == s_.byToken.end()) return;
  const auto record = s_.activities.begin() + static_cast<std::ptrdiff_t>(found->second);
  if (record->state != S::ended && record->state != S::dismissed) return;
  noteWatch("the watched activity had ended; this save begins a new one", in.now);
  leave(record, in.now);
}

// Starts the drawing of the activity's pending state unless one is under way; a state that
// shows something waits for the activity's next frame.
void Stepper::drawNext(ActivityRecord& record, double clock) {
  if (record.drawing || !record.pending) return;
  if (record.pending->shown) {
    if (record.lastDrawStarted && clock >= *record.lastDrawStarted &&
        clock < *record.lastDrawStarted + s_.limits.frameSeconds) {
      return;  // askForFrame asks for the tick
    }
    record.lastDrawStarted = clock;
  }
  record.drawing = true;
  record.drawingNothing = !record.pending->shown;
  record.drawingSerial = ++s_.drawingsStarted;
  record.drawingAt = record.pending->now;
  record.drawingPush = record.pending->push;
  emit(Draw{record.id, record.token, record.drawingSerial, std::move(*record.pending), record.state,
            record.subscribers});
  record.pending.reset();
}

void Stepper::settle(std::uint64_t id, std::uint64_t serial, double clock,
                     std::shared_ptr<const Drawing> drawing) {
  ActivityRecord* record = drawingOf(id, serial);
  if (record == nullptr || !drawing) return;
  record->drawing = false;
  if (const auto* shown = std::get_if<ui::Presentations>(&drawing->rendered.outcome)) {
    // Shares the drawing's own presentations.
    record->lastGood = std::shared_ptr<const ui::Presentations>(drawing, shown);
  }
  record->drawn = std::move(drawing);
  record->serial = serial;
  record->drawnOrder = ++s_.drawingsEnded;
  record->drawnAt = record->drawingAt;
  record->drawnPush = record->drawingPush;
  emit(drawn(*record));
  drawNext(*record, clock);
}

// The earliest frame an activity waits for, asked of the owner once.
void Stepper::askForFrame() {
  std::optional<double> due;
  for (const ActivityRecord& record : s_.activities) {
    if (record.drawing || !record.pending || !record.pending->shown || !record.lastDrawStarted) {
      continue;
    }
    const double at = *record.lastDrawStarted + s_.limits.frameSeconds;
    if (!due || at < *due) due = at;
  }
  if (due && due != s_.wakeAt) emit(WakeAt{*due});
  s_.wakeAt = due;
}

}  // namespace stepping

BoardTransition boardStep(BoardState state, BoardInput input) {
  stepping::Stepper stepper(std::move(state));
  std::visit(stepper, input);
  return stepper.finish();
}

}  // namespace corvlin::host::board
