#include "host/server/activity_board.hpp"

#include "host/server/server_page.hpp"
#include "model/coding.hpp"
#include "model/json/error.hpp"

namespace corvlin::host::server {

std::string canonicalToken(std::string_view token) {
  std::string out(token);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

ActivityBoard::ActivityBoard(PhoneSide phone, BoardLimits limits)
    : phone_(std::move(phone)), limits_(limits) {}

PushResult ActivityBoard::push(std::string_view rawToken, std::string_view body, double now) {
  const std::string token = canonicalToken(rawToken);
  std::size_t index = 0;
  while (index < views_.size() && views_[index].token != token) ++index;
  if (index == views_.size()) {
    if (views_.size() >= limits_.maxActivities) {
      noteRefusal(token, "TooManyRequests", now);
      return TooManyActivities{};
    }
    ActivityView view;
    view.token = token;
    view.state = "not started";
    views_.push_back(std::move(view));
    seats_.push_back({phone_.rules(), phone_.extension()});
  }

  std::vector<PhoneStep> steps = seats_[index].rules->apply(body, now);
  ActivityView& view = views_[index];
  bool applied = false;
  for (const auto& step : steps) {
    if (!step.state.empty()) view.state = step.state;
    applied = applied || step.outcome == Outcome::applied;
  }
  if (applied && !steps.empty()) {
    if (const auto& shown = steps.back().shown) {
      redraw(index, *shown, now);
    } else {
      view.rendered = {};
      view.renderedAt = now;
      view.serial = ++drawings_;
    }
  }
  std::size_t own = steps.size();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const PhoneStep& step = steps[i];
    if (step.ofThePush && own == steps.size()) own = i;
    LogEntry entry{step.at, token, step.event, std::string(outcomeName(step.outcome)),
                   stepDetail(step)};
    remember(entry);
    if (!listeners_.empty()) broadcast(pushEventJson(view, step, entry));
  }
  if (own == steps.size()) {
    // The rules always give the push a step of its own; this would be a fault of theirs.
    PhoneStep missing;
    missing.at = now;
    missing.outcome = Outcome::rejected;
    missing.error = DecodingError{
        DecodingError::Kind::dataCorrupted, {}, "The update rules gave this push no step."};
    missing.state = view.state;
    return missing;
  }
  return std::move(steps[own]);
}

void ActivityBoard::redraw(std::size_t index, const Activity& shown, double now) {
  ActivityView& view = views_[index];
  auto& extension = seats_[index].extension;
  RenderedActivity rendered;
  auto coded = encodeActivity(shown);
  if (!extension) {
    rendered.outcome =
        ExtensionFailure{ExtensionFailure::Kind::cannotStart, "the server is stopping"};
  } else if (!coded) {
    // A state decoded from JSON holds nothing JSON cannot carry; this is never reached.
    rendered.outcome =
        DecodingError{DecodingError::Kind::dataCorrupted, {}, coded.error().description};
  } else if (auto answer = extension->ask(requestLine(coded.value(), now)); !answer) {
    rendered.outcome = std::move(answer).error();
  } else {
    rendered.outcome = readAnswer(answer.value());
  }
  if (const auto* p = std::get_if<ui::Presentations>(&rendered.outcome)) view.lastGood = *p;
  view.rendered = std::move(rendered);
  view.renderedAt = now;
  view.serial = ++drawings_;
}

void ActivityBoard::noteRefusal(std::string_view token, std::string_view reason, double now) {
  LogEntry entry{now, canonicalToken(token), "", "refused", std::string(reason)};
  remember(entry);
  if (!listeners_.empty()) broadcast(refusalEventJson(entry));
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

ActivityBoard::Page ActivityBoard::page(double now) const { return servePage(views_, log_, now); }

std::uint64_t ActivityBoard::listen(Listener listener) {
  const std::uint64_t id = nextListener_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void ActivityBoard::stopListening(std::uint64_t id) { listeners_.erase(id); }

void ActivityBoard::endExtensions() {
  for (auto& seat : seats_) seat.extension.reset();
}

}  // namespace corvlin::host::server
