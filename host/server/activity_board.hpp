// The runtime owner of the server's board: it feeds the board's step (host/board) with what
// happens, and carries out what the step answers: it keeps each activity's update rules and
// extension, asks the extensions, hands each drawing to the drawer, answers pushes, and tells
// the listeners of the event stream and the server's standard error. Every rule (slots, the
// log, which state is drawn and when) is the step's; none is here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/board/board_step.hpp"
#include "host/server/event_listeners.hpp"
#include "host/server/phone_side.hpp"

namespace corvlin::host::server {

using board::BoardLimits;
using board::canonicalToken;
using board::LogEntry;
using board::PushResult;
using board::TakenStep;
using board::TooManyActivities;

class ActivityBoard {
 public:
  // An event's text, shared by every listener it is sent to.
  using Listener = EventListeners::Listener;

  // A line for the server's standard error: each warning of a push, {"warning":{...,"token"}};
  // each refusal, {"refusal":{...}}; each note of the file watch; each save it would not take,
  // {"watch":{...}}.
  using Notice = std::function<void(std::string line)>;

  explicit ActivityBoard(PhoneSide phone, BoardLimits limits = {}, Notice notice = {});
  ~ActivityBoard();
  ActivityBoard(const ActivityBoard&) = delete;
  ActivityBoard& operator=(const ActivityBoard&) = delete;

  using PushDone = std::function<void(PushResult)>;

  // Applies a push body to the activity of `token`, starting one for a new token: its steps go
  // to the log and the listeners (one step event each), and then `done` (when given) has the
  // push's own step, all within this call. The drawing runs behind (board_step.hpp): each
  // drawing that ends is a drawing event, with its `clipped` warnings (also said through the
  // notice). `serviceWarnings`, what the push service's checks found (no provider token), go
  // first among the push's own step's warnings.
  // A `start` that names a broadcast channel `subscribes` the activity it starts to it.
  void push(std::string_view token, std::string_view body, double now, PushDone done,
            std::vector<Warning> serviceWarnings = {},
            std::optional<board::Subscription> subscribes = std::nullopt);
  // Applies a broadcast body to every activity subscribed to `channel`, each through its own
  // update rules (an ended one ignores it, as the phone would), each step to the log and the
  // listeners as a push's: the number of subscribers it reached, each local subscriber counted.
  // It is the channel's newest, as the page shows it, with `outcome` ("delivered", or "rejected"
  // when the phone cannot read it) and `warnings`.
  std::size_t broadcast(std::string_view channel, std::string_view body, double now,
                        std::string_view outcome = "delivered", std::vector<Warning> warnings = {});
  // `count` local subscribers join `channel`, started alike by `startBody` at `now`, as one
  // group (one state, one extension, one drawing a frame for them all), and take `stored`, the
  // channel's stored broadcast, at once when it has one. Past the channel's or the board's
  // budget (BoardLimits) they are refused, in the log, the events and standard error too.
  board::JoinResult addSubscribers(std::string_view channel, std::size_t count,
                                   std::string_view startBody, double now,
                                   std::optional<std::string> stored = std::nullopt);
  // The channel was deleted: its local subscribers leave, its other subscribers hear no more.
  void channelDeleted(std::string_view channel, double now);
  // Pushes a save of the watched file to `token`, as a push from a client would be, without
  // an answer: a save the rules reject or ignore is said on standard error too. One that
  // `begins` (a `start` envelope or a plain content state) after the activity ended begins a
  // new activity under the token (the note says so in the log, the events and standard error).
  void pushSave(std::string_view token, std::string_view body, bool begins, double now);
  // Logs a push the service refused (its status, reason, and what the check said beyond the
  // reason, empty when nothing), tells the listeners, and says it on standard error.
  void noteRefusal(std::string_view token, unsigned status, std::string_view reason,
                   std::string_view detail, double now);
  // Logs what the file watch says of itself (its saves go to token 0), tells the listeners, and
  // says it on standard error ("corvlin-host: --watch: NOTE").
  void noteWatch(std::string_view note, double now);

  // Adds a listener of every event from now on. One that catches up (a page that missed events)
  // is first told, within this call, what a page loaded at `catchUpAt` would show: the
  // activities there are, the log entries kept and each activity's newest drawing (the one text
  // every listener heard, shared, not copied).
  std::uint64_t listen(Listener listener, std::optional<double> catchUpAt = std::nullopt);
  void stopListening(std::uint64_t id) { listeners_.remove(id); }

  const std::vector<board::ActivityRecord>& activities() const { return state_.activities; }
  const std::deque<LogEntry>& log() const { return state_.log; }
  const board::BoardState& state() const { return state_; }

  // Ends every activity's extension process (they are reaped before this returns), and drops
  // the drawings under way or still to come; every push has had its answer already.
  void endExtensions();

 private:
  struct Seat {
    std::unique_ptr<ActivityRules> rules;
    std::unique_ptr<ExtensionSeat> extension;
  };
  // The newest drawing event of an activity, written once for every listener and catch-up; it
  // names the activity's state, so a new state writes it anew.
  struct SentDrawing {
    std::shared_ptr<const board::Drawing> drawing;
    std::optional<updates::ActivityState> state;
    std::shared_ptr<const std::string> text;
  };

  // What only the push being stepped has: its answer, and a new token's seat.
  struct Pushing {
    PushDone done;
    std::optional<Seat> newcomer;
    std::optional<board::JoinResult> joined;
  };
  void take(std::string_view token, std::string_view body, double now, PushDone done,
            std::vector<Warning> serviceWarnings, bool watched,
            std::optional<board::Subscription> subscribes);
  void feed(board::BoardInput input, Pushing* pushing = nullptr,
            const Listener* catchingUp = nullptr);
  void carryOut(board::BoardEvent& event, Pushing* pushing, const Listener* catchingUp);
  void draw(board::Draw& order);
  void drawAnswer(DrawJob job, std::uint64_t id);
  void tell(std::string event);
  void noteWarnings(const std::string& token, const std::vector<Warning>& warnings);
  std::shared_ptr<const std::string> drawingEvent(const board::Drawn& drawn);
  double clock() const { return phone_.frames.now ? phone_.frames.now() : 0; }

  PhoneSide phone_;
  Notice notice_;
  board::BoardState state_;
  std::map<std::uint64_t, Seat> seats_;  // by activity id
  std::map<std::uint64_t, SentDrawing> sent_;
  EventListeners listeners_;
};

}  // namespace corvlin::host::server
