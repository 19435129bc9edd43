// The board's slots: which activity gives its slot up for a new token, and where a seat is now.
#include "host/server/activity_board.hpp"
#include "host/server/server_page.hpp"

namespace corvlin::host::server {

std::string canonicalToken(std::string_view token) {
  std::string out(token);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
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
// its steps stay in the log. One still drawing, or with a state still to draw, keeps its slot.
bool ActivityBoard::reclaimSlot(double now) {
  std::optional<std::size_t> chosen;
  for (std::size_t i = 0; i < seats_.size(); ++i) {
    const int rank = giveUpRank(views_[i].state);
    if (rank == 2 || seats_[i].drawing || seats_[i].pending) continue;
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
  if (!listeners_.empty()) listeners_.tell(reclaimedEventJson(token, now));
  return true;
}

std::size_t ActivityBoard::seatIndex(std::uint64_t id) const {
  std::size_t at = 0;
  while (at < seats_.size() && seats_[at].id != id) ++at;
  return at;
}

}  // namespace corvlin::host::server
