// What the board tells its listeners outside a push's steps: the refusals and the file watch's
// notes it logs, and a new listener's catch-up.
#include "host/server/activity_board.hpp"
#include "host/server/server_page.hpp"

namespace corvlin::host::server {

void ActivityBoard::noteRefusal(std::string_view token, std::string_view reason, double now) {
  LogEntry entry{now, canonicalToken(token), "", "refused", std::string(reason), {}};
  remember(entry);
  if (!listeners_.empty()) listeners_.tell(refusalEventJson(entry));
}

void ActivityBoard::noteWatch(std::string_view note, double now) {
  LogEntry entry{now, "0", "", "watch", std::string(note), {}};
  remember(entry);
  if (!listeners_.empty()) listeners_.tell(watchEventJson(entry));
}

void ActivityBoard::remember(LogEntry entry) {
  log_.push_back(std::move(entry));
  while (log_.size() > limits_.logEntries) log_.pop_front();
}

std::uint64_t ActivityBoard::listen(Listener listener, std::optional<double> catchUpAt) {
  const auto tell = [&listener](std::string event) {
    listener(std::make_shared<const std::string>(std::move(event)));
  };
  if (catchUpAt) {
    tell(catchUpEventJson(views_, *catchUpAt));
    for (const LogEntry& entry : log_) tell(loggedEventJson(entry));
    for (std::size_t i = 0; i < views_.size(); ++i) {
      // One not drawn yet has its first drawing come as an event.
      if (views_[i].serial != 0) listener(drawingEvent(i));
    }
  }
  return listeners_.add(std::move(listener));
}

}  // namespace corvlin::host::server
