// The one owner of the server's state: the activities by token, each with its update rules,
// its extension and what it last drew; the log of pushes; and the listeners of the event
// stream, to whom every change is sent from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/checks/laid_out.hpp"
#include "host/drawing/fonts.hpp"
#include "host/process/render.hpp"
#include "host/server/event_listeners.hpp"
#include "host/server/phone_side.hpp"

namespace corvlin::host::server {

struct BoardLimits {
  // A push for one more token takes the slot of an activity gone from the phone (dismissed, or
  // never started), else of the oldest ended one; with this many live ones, it is refused.
  std::size_t maxActivities = 64;
  std::size_t logEntries = 200;  // the oldest entries of the page's log are let go
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

// One activity as the page draws it.
struct ActivityView {
  std::string token;
  std::string state;
  RenderedActivity rendered;                  // as drawn: the presentations, or why there are none
  std::optional<ui::Presentations> lastGood;  // the last presentations the extension gave
  double renderedAt = 0;                      // the instant the presentations were drawn for
  std::uint64_t serial = 0;     // counts every drawing, so that each has its own style names
  std::uint64_t pushes = 0;     // the pushes the activity has taken, counted from 1
  std::uint64_t drawnPush = 0;  // the push whose state `rendered` shows; 0 before any drawing
  // `rendered`'s presentations laid out in the phone's frames, which the page places them by;
  // null when there are none or the fonts could not be loaded.
  std::shared_ptr<const LaidOutAnswer> laidOut;
  // The layout's warnings of `rendered` (laidOut's): what the phone would cut off (clipped) or
  // end in "…" (truncated), and characters no font draws (missingGlyph).
  std::vector<Warning> clipped;
};

struct TooManyActivities {};
using PushResult = std::variant<TakenStep, TooManyActivities>;

class ActivityBoard {
 public:
  // An event's text, shared by every listener it is sent to.
  using Listener = EventListeners::Listener;

  // A line for the server's standard error: each warning of a push, {"warning":{...,"token"}}.
  using Notice = std::function<void(std::string line)>;

  // `fonts`, those the clipping check lays out with, are opened at the first drawing when none
  // are given (a process that makes many boards opens them once).
  explicit ActivityBoard(PhoneSide phone, BoardLimits limits = {}, Notice notice = {},
                         std::shared_ptr<drawing::Fonts> fonts = nullptr);

  using PushDone = std::function<void(PushResult)>;

  // Applies a push body to the activity of `token`, starting one for a new token: its steps go
  // to the view, the log and the listeners (one step event each), and then `done` (when given)
  // has the push's own step, all within this call. The drawing runs behind: when what the
  // activity shows changed, its extension draws it, one drawing per activity at a time; pushes
  // that arrive meanwhile only mark the activity to be drawn again, and when the drawing ends
  // (and the extension is ready again: at most once a frame) the newest state is drawn next,
  // the states between never. Each drawing that ends is a drawing event, with its `clipped`
  // warnings (also said through the notice). The activities' extensions draw at the same time.
  // `serviceWarnings`, what the push service's checks found (no provider token), go first
  // among the push's own step's warnings.
  void push(std::string_view token, std::string_view body, double now, PushDone done,
            std::vector<Warning> serviceWarnings = {});
  // Logs a push the service refused, and tells the listeners.
  void noteRefusal(std::string_view token, std::string_view reason, double now);
  // Logs what the file watch says of itself (its saves go to token 0), and tells the listeners.
  void noteWatch(std::string_view note, double now);

  // Adds a listener of every event from now on. One that catches up (a page that missed events)
  // is first told, within this call, what a page loaded at `catchUpAt` would show: the
  // activities there are, the log entries kept and each activity's newest drawing (the one text
  // every listener heard, shared, not copied).
  std::uint64_t listen(Listener listener, std::optional<double> catchUpAt = std::nullopt);
  void stopListening(std::uint64_t id) { listeners_.remove(id); }

  const std::vector<ActivityView>& activities() const { return views_; }
  const std::deque<LogEntry>& log() const { return log_; }

  // Ends every activity's extension process (they are reaped before this returns), and drops
  // the drawings under way or still to come; every push has had its answer already.
  void endExtensions();

 private:
  // The newest state an activity is to be drawn in, and the push that left it so.
  struct Pending {
    std::optional<updates::Shown> shown;  // none: nothing is shown any more
    double now = 0;
    std::uint64_t push = 0;
  };
  struct Seat {
    std::unique_ptr<ActivityRules> rules;
    std::unique_ptr<ExtensionSeat> extension;
    std::optional<Pending> pending;  // at most one: a newer state replaces it
    bool drawing = false;
    std::uint64_t id = 0;  // its own number, which its extension's answer names it by
    bool waiting = false;  // for its extension to be ready to draw again
    bool ready = false;    // its extension may be asked now
    // The newest drawing's event, made once for every listener and catch-up; made again when
    // the activity's state, which it names, changes.
    std::shared_ptr<const std::string> drawingEvent = nullptr;
  };
  // Frees the slot of an activity that can give it up, for a new token; false when none can.
  bool reclaimSlot(double now);
  // Starts the drawing of the seat numbered `id`'s pending state, unless one is under way.
  void drawNext(std::uint64_t id);
  // Where the seat numbered `id` is now; seats_.size() once it has given up its slot.
  std::size_t seatIndex(std::uint64_t id) const;
  // A push's steps: to the view's state, the log, the notice and the listeners.
  void takeSteps(std::size_t index, const std::vector<TakenStep>& steps);
  // The drawing of `drawn` ended as `rendered`: the view takes it and the listeners hear it.
  void settle(std::size_t index, RenderedActivity rendered, const Pending& drawn);
  const std::shared_ptr<const std::string>& drawingEvent(std::size_t index);
  void noteWarnings(const std::string& token, const std::vector<Warning>& warnings);
  void remember(LogEntry entry);
  // The fonts the drawings are laid out with, opened at the first drawing; null when they
  // cannot be loaded (said once through the notice).
  drawing::Fonts* fonts();

  PhoneSide phone_;
  BoardLimits limits_;
  Notice notice_;
  std::vector<ActivityView> views_;  // in the order the tokens first came
  std::vector<Seat> seats_;          // beside views_
  std::uint64_t seatsMade_ = 0;
  std::deque<LogEntry> log_;
  std::uint64_t drawings_ = 0;
  EventListeners listeners_;
  std::shared_ptr<drawing::Fonts> fonts_;
  bool fontsTried_ = false;
};

// The canonical form of a token: lower-case hexadecimal, as sent otherwise.
std::string canonicalToken(std::string_view token);

}  // namespace corvlin::host::server
