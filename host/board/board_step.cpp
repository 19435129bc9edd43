#include "host/board/board_step.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

namespace corvlin::host::board {

namespace {

// One step's work on the state it was given.
class Stepper {
 public:
  explicit Stepper(BoardState state) : s_(std::move(state)) {}

  void operator()(PushTaken& in);
  void operator()(BroadcastTaken& in) {
    for (SubscriberSteps& subscriber : in.subscribers) {
      ActivityRecord* record = byId(subscriber.id);
      if (record == nullptr) continue;  // it gave its slot up meanwhile
      take(*record, subscriber.verdict, in.now);
      drawNext(*record, in.clock);
    }
  }
  void operator()(PushRefused& in) {
    refuse(canonicalToken(in.token), in.status, std::move(in.reason), std::move(in.detail), in.now);
  }
  void operator()(DrawingDone& in) { settle(in.id, in.serial, in.clock, std::move(in.drawing)); }
  void operator()(DrawingFailed& in) {
    ActivityRecord* record = drawingOf(in.id, in.serial);
    if (record == nullptr) return;
    record->drawing = false;
    emit(DrawingLost{record->token, std::move(in.why)});
    drawNext(*record, in.clock);
  }
  void operator()(const FrameTick& in) {
    s_.wakeAt.reset();
    for (ActivityRecord& record : s_.activities) drawNext(record, in.clock);
  }
  void operator()(const WatchSaved& in);
  void operator()(WatchNoted& in) { noteWatch(std::move(in.note), in.now); }
  void operator()(const CatchUpAsked& in) {
    CatchUp up{in.listener, {}, in.now, {s_.log.begin(), s_.log.end()}, {}};
    for (const ActivityRecord& record : s_.activities) {
      up.tokens.push_back(record.token);
      // One not drawn yet has its first drawing come as an event.
      if (record.drawn) up.drawings.push_back(drawn(record));
    }
    emit(std::move(up));
  }
  void operator()(const ExtensionsEnded&) {
    for (ActivityRecord& record : s_.activities) {
      record.pending.reset();
      record.drawing = false;
    }
    s_.wakeAt.reset();
  }

  BoardTransition finish() {
    askForFrame();
    return {std::move(s_), std::move(events_)};
  }

 private:
  template <class Event>
  void emit(Event event) {
    events_.emplace_back(std::move(event));
  }

  void refuse(std::string token, unsigned status, std::string reason, std::string detail,
              double now) {
    LogEntry entry{
        now, std::move(token), "", "refused", detail.empty() ? reason : reason + ": " + detail, {}};
    remember(entry);
    emit(Refusal{status, std::move(reason), std::move(detail), std::move(entry)});
  }

  void noteWatch(std::string note, double now) {
    LogEntry entry{now, "0", "", "watch", std::move(note), {}};
    remember(entry);
    emit(Watched{std::move(entry)});
  }

  void remember(LogEntry entry) {
    s_.log.push_back(std::move(entry));
    while (s_.log.size() > s_.limits.logEntries) s_.log.pop_front();
  }

  ActivityRecord* byId(std::uint64_t id) {
    const auto found = std::find_if(s_.activities.begin(), s_.activities.end(),
                                    [id](const ActivityRecord& r) { return r.id == id; });
    return found == s_.activities.end() ? nullptr : &*found;
  }
  // The activity whose drawing `serial` is under way; null for a drawing dropped meanwhile
  // (the extensions ended, or the activity gave up its slot).
  ActivityRecord* drawingOf(std::uint64_t id, std::uint64_t serial) {
    ActivityRecord* record = byId(id);
    return record != nullptr && record->drawing && record->drawingSerial == serial ? record
                                                                                   : nullptr;
  }

  static Drawn drawn(const ActivityRecord& record) {
    return {record.id,      record.token, record.drawnPush, record.state,
            record.drawnAt, record.drawn, record.lastGood};
  }

  std::optional<LogEntry> take(ActivityRecord& record, const TakenSteps& verdict, double now);
  bool admit(const std::string& token, double now);
  bool reclaimSlot(double now);
  void leave(std::vector<ActivityRecord>::iterator gone, double now);
  void drawNext(ActivityRecord& record, double clock);
  void settle(std::uint64_t id, std::uint64_t serial, double clock,
              std::shared_ptr<const Drawing> drawing);
  void askForFrame();

  BoardState s_;
  std::vector<BoardEvent> events_;
};

bool anyApplied(const std::vector<TakenStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const TakenStep& taken) {
    return std::holds_alternative<updates::Applied>(taken.step.outcome);
  });
}

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
    emit(Stepped{record.token, push, taken, record.state, std::move(entry)});
  }
  return ownEntry;
}

// A new token's activity takes a slot, when one is free or can be freed.
bool Stepper::admit(const std::string& token, double now) {
  if (s_.activities.size() >= s_.limits.maxActivities && !reclaimSlot(now)) return false;
  ActivityRecord record;
  record.id = ++s_.activitiesMade;
  record.token = token;
  s_.byToken.emplace(token, s_.activities.size());
  s_.activities.push_back(std::move(record));
  emit(Admitted{s_.activities.back().id, token});
  return true;
}

// How readily an activity gives up its slot: 0 gone from the phone (dismissed, or never
// started: its pushes were all rejected), 1 ended (it takes no more updates, and only waits to
// be dismissed), 2 live (never).
int giveUpRank(const std::optional<updates::ActivityState>& state) {
  using S = updates::ActivityState;
  if (!state || *state == S::dismissed) return 0;
  return *state == S::ended ? 1 : 2;
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
    if (giveUpRank(it->state) == 2 || (it->drawing && !it->drawingNothing) || it->pending) {
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
  emit(Draw{record.id, record.token, record.drawingSerial, std::move(*record.pending),
            record.state});
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

}  // namespace

BoardTransition boardStep(BoardState state, BoardInput input) {
  Stepper stepper(std::move(state));
  std::visit(stepper, input);
  return stepper.finish();
}

}  // namespace corvlin::host::board
