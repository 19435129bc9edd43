// The work of one step of the board (board_step.hpp), shared by the files that hold its parts.
// Internal to host/board.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/board/board_step.hpp"

namespace corvlin::host::board::stepping {

// One step's work on the state it was given: boardStep's, kept apart so that the steps of
// local subscribers (board_subscribers.cpp) live in a file of their own.
class Stepper {
 public:
  explicit Stepper(BoardState state) : s_(std::move(state)) {}

  void operator()(PushTaken& in);
  void operator()(BroadcastTaken& in);
  void operator()(SubscribersJoined& in);
  void operator()(const ChannelDeleted& in);
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

}  // namespace corvlin::host::board::stepping
