// What the push endpoint's board holds: the activities in the order their tokens first came,
// each with its state, the drawing it shows and the one it waits for; and the log of pushes.
// Plain values, changed only by boardStep (board_step.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/board/taken_step.hpp"
#include "host/report/outcome.hpp"
#include "host/warning/warning.hpp"
#include "toolkit/view.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::board {

struct BoardLimits {
  // A push for one more token takes the slot of an activity gone from the phone (dismissed, or
  // never started), else of the oldest ended one; with this many live ones, it is refused.
  std::size_t maxActivities = 64;
  std::size_t logEntries = 200;  // the oldest entries of the page's log are let go
  // An activity starts a drawing at most once this long (a display's frame); 0 paces nothing.
  double frameSeconds = 1.0 / 60;
  // Local subscribers of broadcast channels, a budget of their own: a channel holds this many
  // at most, in at most this many groups on the whole board. Each group is added at once (by
  // serve --subscribers or from the page), started alike, and takes every broadcast alike.
  std::size_t maxSubscribersPerChannel = 10000;
  std::size_t maxSubscriberGroups = 64;
};

// One line of the page's log: a push the phone took, or one the service refused.
struct LogEntry {
  double at = 0;
  std::string token;
  std::string event;    // the envelope's event; empty when unknown
  std::string outcome;  // "applied", "ignored", "rejected", "refused" by the service, or "watch"
  std::string detail;   // the reason, the error with its path, or the refusal's reason
  std::vector<Warning> warnings;  // the push's own, on the entry of its own step

  friend bool operator==(const LogEntry&, const LogEntry&) = default;
};

// One activity's section as the page draws it, and the style rules its generated classes need.
// The class names carry the drawing's serial, so that a redrawn section never reuses an older
// one's.
struct Section {
  std::string html;
  std::string css;
};

// A drawing as it ended: what the extension answered (or how it failed), what the phone would
// cut off of it, and the section drawn from it. Made once, off the event loop, and shared.
struct Drawing {
  RenderedActivity rendered;
  std::vector<Warning> clipped;
  Section section;
};

// The state an activity is to be drawn in next, and the push that left it so.
struct PendingDrawing {
  std::optional<updates::Shown> shown;  // none: nothing is shown any more
  double now = 0;                       // the instant to draw for
  std::uint64_t push = 0;
};

// A started activity's broadcast channel, and the broadcast the channel stored for it (the
// body of the channel's newest, when its storage policy keeps one).
struct Subscription {
  std::string channel;
  std::optional<std::string> stored;
};

struct ActivityRecord {
  std::uint64_t id = 0;  // its own number: a drawing's end names its activity by it
  std::string token;     // canonical: lower-case hexadecimal; a group's: subscriberGroupToken
  std::string channel;   // the broadcast channel it subscribed to; empty: none
  // A group of local subscribers of `channel` stands for this many activities, numbered from
  // `firstSubscriber` in their channel: each was started alike and takes every broadcast alike,
  // so that one state, one extension and one drawing a frame serve them all (the update rules
  // are a pure function: equal states given equal pushes step alike). 0: one device's activity.
  std::size_t subscribers = 0;
  std::size_t firstSubscriber = 0;
  // After its last step; none while it has not started (its pushes were all rejected).
  std::optional<updates::ActivityState> state;
  std::uint64_t pushes = 0;  // the pushes it has taken, counted from 1

  std::optional<PendingDrawing> pending;  // at most one: a newer state replaces it
  bool drawing = false;                   // a drawing is under way
  bool drawingNothing = false;            // of a state that shows nothing (dismissed)
  std::uint64_t drawingSerial = 0;        // the serial of the one under way,
  double drawingAt = 0;                   // the instant it draws for
  std::uint64_t drawingPush = 0;          // and the push whose state it draws
  std::optional<double> lastDrawStarted;  // on the owner's steady clock, for the frame pacing

  // What it shows: the newest drawing that ended (null before any), the serial, instant and
  // push it was drawn for, and the last presentations the extension gave (null before any).
  std::shared_ptr<const Drawing> drawn;
  std::uint64_t serial = 0;
  std::uint64_t drawnOrder = 0;  // counts the drawings that ended, for the give-up order
  double drawnAt = 0;
  std::uint64_t drawnPush = 0;
  std::shared_ptr<const ui::Presentations> lastGood;
};

// The newest broadcast a sender sent on a channel, as the page shows it beside the channel: when
// it came, how many subscribers it reached, whether the phone could read it ("delivered" or
// "rejected"), and its warnings (the service's first).
struct BroadcastNews {
  std::string channel;
  double at = 0;
  std::size_t subscribers = 0;
  std::string outcome;
  std::vector<Warning> warnings;

  friend bool operator==(const BroadcastNews&, const BroadcastNews&) = default;
};

struct BoardState {
  BoardLimits limits;
  std::vector<ActivityRecord> activities;                // in the order the tokens first came
  std::unordered_map<std::string, std::size_t> byToken;  // token -> place in `activities`
  std::deque<LogEntry> log;
  std::vector<BroadcastNews> news;  // one a channel that had a broadcast, till it is deleted
  std::uint64_t activitiesMade = 0;
  std::uint64_t drawingsStarted = 0;  // gives each drawing its serial
  std::uint64_t drawingsEnded = 0;
  std::optional<double> wakeAt;  // the frame the owner was asked to tick at, if any
};

// The canonical form of a token: lower-case hexadecimal, as sent otherwise.
std::string canonicalToken(std::string_view token);

// The activity of a token (in any case), or of an id; null when there is none.
const ActivityRecord* findActivity(const BoardState& state, std::string_view token);
const ActivityRecord* findActivityById(const BoardState& state, std::uint64_t id);
// The ids of the activities subscribed to `channel` (groups of local subscribers included), in
// the order their tokens came.
std::vector<std::uint64_t> subscribersOf(const BoardState& state, std::string_view channel);
// How many activities a broadcast on `channel` reaches: each device's, and each local
// subscriber of every group; and how many local subscribers the channel holds.
std::size_t reachOf(const std::vector<ActivityRecord>& activities, std::string_view channel);
std::size_t localSubscribersOf(const BoardState& state, std::string_view channel);
// The name a group of local subscribers goes by on the page, the log and the events:
// "CHANNEL#FIRST-LAST" (no device token holds a '#').
std::string subscriberGroupToken(std::string_view channel, std::size_t first, std::size_t count);
// Whether the drawing `serial` of activity `id` is still under way, not dropped meanwhile.
bool drawingUnderWay(const BoardState& state, std::uint64_t id, std::uint64_t serial);

// "active", ..., "dismissed", or "not started" for an activity whose pushes were all rejected:
// the state as the page and the events name it.
std::string_view stateLabel(const std::optional<updates::ActivityState>& state);

// The log entry of a step the activity of `token` took: its event, its outcome, and as its
// detail the step's note (the reason, or the error as errorText writes it, with its hint).
LogEntry logEntry(const TakenStep& taken, std::string_view token);

}  // namespace corvlin::host::board
