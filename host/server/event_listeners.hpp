// The listeners of the event stream: each event's text is made once and shared by all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace corvlin::host::server {

class EventListeners {
 public:
  using Listener = std::function<void(const std::shared_ptr<const std::string>& event)>;

  std::uint64_t add(Listener listener);
  void remove(std::uint64_t id) { listeners_.erase(id); }
  bool empty() const { return listeners_.empty(); }
  // Tells every listener; one may stop listening while it is told, or another start.
  void tell(std::string event);
  void tell(const std::shared_ptr<const std::string>& event);

 private:
  std::map<std::uint64_t, Listener> listeners_;
  std::uint64_t next_ = 0;
};

}  // namespace corvlin::host::server
