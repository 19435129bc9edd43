// What follows from a step of the push endpoint's board (board_step.hpp): what the listeners
// hear, and what the runtime owner does, as records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/board/board_state.hpp"
#include "host/board/taken_step.hpp"

namespace corvlin::host::board {

// What the listeners hear.
// A step an activity took on a push, one for each: `state` after it, `push` the push's count.
// A group of local subscribers' step is each of its `subscribers`' (0 for a device's activity).
struct Stepped {
  std::string token;
  std::size_t subscribers = 0;
  std::uint64_t push = 0;
  TakenStep taken;
  std::optional<updates::ActivityState> state;
  LogEntry log;
};
// A drawing that ended, or an activity's newest in a catch-up: `state` as the activity's now,
// `presentations` the last the extension gave (null before any), `at` the instant drawn for.
struct Drawn {
  std::uint64_t id = 0;
  std::string token;
  std::uint64_t push = 0;
  std::optional<updates::ActivityState> state;
  double at = 0;
  std::shared_ptr<const Drawing> drawing;
  std::shared_ptr<const ui::Presentations> presentations;
};
// A push refused before the phone saw it: the answer's status and reason, what the check found
// beyond it (empty when nothing), and its log entry (detail "REASON" or "REASON: DETAIL").
struct Refusal {
  unsigned status = 400;
  std::string reason;
  std::string detail;
  LogEntry log;
};
// A sender's broadcast, the channel's newest now.
struct Broadcasted {
  BroadcastNews news;
};
// An activity gave its slot up to a new token, and leaves the page.
struct Reclaimed {
  std::uint64_t id = 0;
  std::string token;
  double now = 0;
};
struct Watched {
  LogEntry log;
};
// A save of the watched file that the rules rejected or ignored: its own step's log entry, for
// standard error (the page and the events have its step already).
struct SaveNotTaken {
  LogEntry log;
};
// For one listener only: the activities there are, the log kept, each newest drawing.
struct CatchUp {
  std::uint64_t listener = 0;
  std::vector<std::string> tokens;
  double now = 0;
  std::vector<LogEntry> log;
  std::vector<Drawn> drawings;
};

// What the owner does.
// A new activity took a slot: the rules the push was judged by, and an extension, are its own.
struct Admitted {
  std::uint64_t id = 0;
  std::string token;
};
struct TooManyActivities {};
using PushResult = std::variant<TakenStep, TooManyActivities>;
// The push's answer: its own step, or 429.
struct Answer {
  PushResult result;
};
// Draw the activity's pending state: ask its extension (when the state shows anything) and
// draw the answer as drawing `serial`, naming the activity `state`.
struct Draw {
  std::uint64_t id = 0;
  std::string token;
  std::uint64_t serial = 0;
  PendingDrawing what;
  std::optional<updates::ActivityState> state;
  std::size_t subscribers = 0;  // a group's local subscribers, whom the drawing shows
};
// An activity that subscribed to a channel receives the channel's stored broadcast: apply
// `body` to its rules at `now`, and step the board with the verdict (BroadcastTaken).
struct DeliverStored {
  std::uint64_t id = 0;
  std::string channel;
  std::string body;
  double now = 0;
};
// Local subscribers joined (board_inputs.hpp): the group's id and first number in its channel,
// or why none could (the channel's or the board's budget is spent, or the start was not taken).
struct SubscribersAdded {
  std::uint64_t id = 0;
  std::string token;
  std::size_t first = 0;
  std::size_t count = 0;
};
// Refused as the page's request is answered: 429 TooManySubscribers past a budget, 400
// BadRequest for none asked for, 500 InternalServerError when the start the endpoint made was
// not taken (a fault of its own).
struct SubscribersRefused {
  unsigned status = 429;
  std::string reason;
  std::string detail;
};
using JoinResult = std::variant<SubscribersAdded, SubscribersRefused>;
struct Joined {
  JoinResult result;
};
// An activity waits for its frame: send a FrameTick at `clock` (replacing any wake before).
struct WakeAt {
  double clock = 0;
};
// A drawing could not be made; said on standard error.
struct DrawingLost {
  std::string token;
  std::string why;
};

using BoardEvent =
    std::variant<Stepped, Drawn, Refusal, Broadcasted, Reclaimed, Watched, SaveNotTaken, CatchUp,
                 Admitted, Answer, Joined, Draw, DeliverStored, WakeAt, DrawingLost>;

}  // namespace corvlin::host::board
