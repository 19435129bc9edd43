#include "host/server/activity_board.hpp"

#include <optional>

#include "host/checks/clipping.hpp"
#include "host/server/server_page.hpp"
#include "json/error.hpp"
#include "json/writer.hpp"
#include "model/coding.hpp"
#include "protocol/answer.hpp"
#include "protocol/request.hpp"

namespace corvlin::host::server {

std::string canonicalToken(std::string_view token) {
  std::string out(token);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

ActivityBoard::ActivityBoard(PhoneSide phone, BoardLimits limits, Notice notice)
    : phone_(std::move(phone)), limits_(limits), notice_(std::move(notice)) {}

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
  Seat& seat = seats_[index];
  std::vector<TakenStep> steps = seat.rules->apply(body, now);
  if (!serviceWarnings.empty()) {
    for (TakenStep& taken : steps) {
      if (!taken.ofThePush()) continue;
      taken.warnings.insert(taken.warnings.begin(),
                            std::make_move_iterator(serviceWarnings.begin()),
                            std::make_move_iterator(serviceWarnings.end()));
      break;
    }
  }
  seat.waiting.push_back({std::move(steps), now, std::move(done)});
  if (!seat.drawing) drawNext(index);
}

namespace {

// How readily an activity gives up its slot: 0 gone from the phone (dismissed, or never
// started: its pushes were all rejected), 1 ended (it takes no more updates, and only waits to
// be dismissed), 2 live (never).
int giveUpRank(const std::string& state) {
  if (state == "dismissed" || state == "not started") return 0;
  return state == "ended" ? 1 : 2;
}

}  // namespace

// The slot of the activity gone longest (the least recently drawn of those readiest to give
// theirs up) is freed for a new token: its view and its seat go, with its extension process;
// its steps stay in the log. One still drawing, or with pushes waiting, keeps its slot.
bool ActivityBoard::reclaimSlot(double now) {
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < seats_.size(); ++i) {
    const int rank = giveUpRank(views_[i].state);
    if (rank == 2 || seats_[i].drawing || !seats_[i].waiting.empty()) continue;
    if (!chosen) {
      chosen = i;
      continue;
    }
    const int best = giveUpRank(views_[*chosen].state);
    if (rank < best || (rank == best && views_[i].serial < views_[*chosen].serial)) chosen = i;
  }
  if (!chosen) return false;
  const std::string token = views_[*chosen].token;
  const auto at = static_cast<std::ptrdiff_t>(*chosen);
  views_.erase(views_.begin() + at);
  seats_.erase(seats_.begin() + at);
  if (!listeners_.empty()) broadcast(reclaimedEventJson(token, now));
  return true;
}

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

}  // namespace

// Takes the waiting pushes of one activity in order: those that need no drawing are finished
// at once; one that does asks the extension and the rest wait for its answer.
std::size_t ActivityBoard::seatIndex(std::uint64_t id) const {
  std::size_t at = 0;
  while (at < seats_.size() && seats_[at].id != id) ++at;
  return at;
}

void ActivityBoard::drawNext(std::size_t index) {
  // Found again by its seat's number after each finished push: whoever is told of the push may
  // push for a new token, which may free a slot before this one and so move it.
  const std::uint64_t id = seats_[index].id;
  for (index = seatIndex(id);
       index < seats_.size() && !seats_[index].drawing && !seats_[index].waiting.empty();
       index = seatIndex(id)) {
    Seat& seat = seats_[index];
    const Job& job = seat.waiting.front();
    ActivityView& view = views_[index];
    if (!anyApplied(job.steps)) {
      finish(index);
      continue;
    }
    const auto& shown = job.steps.back().step.shown;
    if (!shown) {
      view.rendered = {};
      view.renderedAt = job.now;
      view.serial = ++drawings_;
      finish(index);
      continue;
    }
    auto coded = encodeActivity(Activity{shown->attributes, shown->content, false});
    if (!seat.extension || !coded) {
      // A state decoded from JSON holds nothing JSON cannot carry; the second is never reached.
      settle(
          index,
          renderedAs(seat.extension
                         ? ActivityOutcome{DecodingError{
                               DecodingError::Kind::dataCorrupted, {}, coded.error().description}}
                         : ActivityOutcome{ExtensionFailure{ExtensionFailure::Kind::cannotStart,
                                                            "the server is stopping"}}));
      continue;
    }
    seat.drawing = true;
    // The answer may come within this call (then this activity's next push has been taken
    // already) or later from the event loop: either way, nothing more to do here. It finds its
    // activity by the seat's number, as a slot freed meanwhile moves the activities after it.
    seat.extension->ask(
        protocol::requestLine(coded.value().contentState, coded.value().attributes, job.now),
        [this, id](Result<std::string, ExtensionFailure> answer) {
          const std::size_t at = seatIndex(id);
          // Unless the extensions were ended meanwhile.
          if (at == seats_.size() || !seats_[at].drawing) return;
          seats_[at].drawing = false;
          settle(at, renderedAs(answer ? protocol::readAnswer(answer.value())
                                       : ActivityOutcome{answer.error()}));
          if (const std::size_t now = seatIndex(id); now < seats_.size()) {
            drawNext(now);
          }
        });
    return;
  }
}

drawing::Fonts* ActivityBoard::fonts() {
  if (!fontsTried_) {
    fontsTried_ = true;
    auto opened = drawing::Fonts::open(drawing::defaultFontFiles());
    if (opened) {
      fonts_ = std::move(opened).value();
    } else if (notice_) {
      notice_("corvlin-host: cannot lay out the presentations: " + opened.error());
    }
  }
  return fonts_.get();
}

void ActivityBoard::settle(std::size_t index, RenderedActivity rendered) {
  ActivityView& view = views_[index];
  if (const auto* p = std::get_if<ui::Presentations>(&rendered.outcome)) view.lastGood = *p;
  view.rendered = std::move(rendered);
  view.renderedAt = seats_[index].waiting.front().now;
  view.serial = ++drawings_;
  finish(index);
}

// The first waiting push of an activity, drawn: its steps go to the view, the log and the
// listeners, and its own step to whoever pushed it.
void ActivityBoard::finish(std::size_t index) {
  Job job = std::move(seats_[index].waiting.front());
  seats_[index].waiting.pop_front();
  ActivityView& view = views_[index];
  for (const auto& taken : job.steps) {
    if (taken.step.state) view.state = std::string(updates::stateName(*taken.step.state));
  }
  // What the phone would cut off of what it now shows goes with the push's own step.
  std::vector<Warning> clipped;
  const auto* shown = std::get_if<ui::Presentations>(&view.rendered.outcome);
  if (drawing::Fonts* measurer = shown ? fonts() : nullptr) {
    clipped =
        clippingWarningsAt(*shown, view.renderedAt, drawing::defaultLockScreenWidth, *measurer);
  }
  std::size_t own = job.steps.size();
  for (std::size_t i = 0; i < job.steps.size(); ++i) {
    if (job.steps[i].ofThePush() && own == job.steps.size()) {
      for (Warning& warning : clipped) job.steps[i].warnings.push_back(std::move(warning));
    }
    const TakenStep& taken = job.steps[i];
    if (taken.ofThePush() && own == job.steps.size()) own = i;
    LogEntry entry = logEntry(taken, view.token);
    if (notice_) {
      for (const Warning& warning : taken.warnings) {
        // The token is the last member inside "warning", as a list's lines name their activity.
        std::string token = ",\"token\":";
        json::appendString(token, view.token);
        std::string line = warningJson(warning);
        line.insert(line.size() - 2, token);
        notice_(std::move(line));
      }
    }
    if (!listeners_.empty()) broadcast(pushEventJson(view, taken, entry));
    remember(std::move(entry));
  }
  if (!job.done) return;
  if (own == job.steps.size()) {
    // The rules always give the push a step of its own; this would be a fault of theirs.
    updates::Step missing{
        Instant{job.now},
        std::nullopt,
        std::nullopt,
        updates::Rejected{DecodingError{
            DecodingError::Kind::dataCorrupted, {}, "The update rules gave this push no step."}},
        stateNamed(view.state),
        std::nullopt};
    return job.done(TakenStep{std::move(missing), {}});
  }
  job.done(std::move(job.steps[own]));
}

void ActivityBoard::noteRefusal(std::string_view token, std::string_view reason, double now) {
  LogEntry entry{now, canonicalToken(token), "", "refused", std::string(reason), {}};
  remember(entry);
  if (!listeners_.empty()) broadcast(refusalEventJson(entry));
}

void ActivityBoard::noteWatch(std::string_view note, double now) {
  LogEntry entry{now, "0", "", "watch", std::string(note), {}};
  remember(entry);
  if (!listeners_.empty()) broadcast(watchEventJson(entry));
}

void ActivityBoard::remember(LogEntry entry) {
  log_.push_back(std::move(entry));
  while (log_.size() > limits_.logEntries) log_.pop_front();
}

void ActivityBoard::broadcast(std::string event) {
  const auto shared = std::make_shared<const std::string>(std::move(event));
  // A listener may stop listening while it is told; iterate over a copy of the ids.
  std::vector<std::uint64_t> ids;
  ids.reserve(listeners_.size());
  for (const auto& [id, listener] : listeners_) ids.push_back(id);
  for (auto id : ids) {
    auto found = listeners_.find(id);
    if (found != listeners_.end()) found->second(shared);
  }
}

std::uint64_t ActivityBoard::listen(Listener listener) {
  const std::uint64_t id = nextListener_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void ActivityBoard::stopListening(std::uint64_t id) { listeners_.erase(id); }

void ActivityBoard::endExtensions() {
  for (auto& seat : seats_) {
    seat.extension.reset();
    seat.waiting.clear();
    seat.drawing = false;
  }
}

}  // namespace corvlin::host::server
