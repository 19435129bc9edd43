#include "host/server/event_listeners.hpp"

#include <vector>

namespace corvlin::host::server {

std::uint64_t EventListeners::add(Listener listener) {
  const std::uint64_t id = next_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void EventListeners::tell(std::string event) {
  tell(std::make_shared<const std::string>(std::move(event)));
}

void EventListeners::tell(const std::shared_ptr<const std::string>& shared) {
  // Iterate over a copy of the ids, as the map may change while a listener is told.
  std::vector<std::uint64_t> ids;
  ids.reserve(listeners_.size());
  for (const auto& [id, listener] : listeners_) ids.push_back(id);
  for (auto id : ids) {
    auto found = listeners_.find(id);
    if (found != listeners_.end()) found->second(shared);
  }
}

}  // namespace corvlin::host::server
