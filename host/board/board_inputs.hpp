// What happens to the push endpoint's board, as boardStep (board_step.hpp) takes it in.
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

// `clock` is the owner's steady clock in seconds, for the frame pacing; `now` the instant of
// the world (seconds since 1970) that steps and the log carry.

// A push the service accepted, as the activity's update rules judged it. `serviceWarnings`,
// what the push service's checks found (no provider token), go first among its own step's.
struct PushTaken {
  std::string token;
  double now = 0;
  double clock = 0;
  TakenSteps verdict;
  std::vector<Warning> serviceWarnings;
  bool watched = false;  // a save of the watched file, not a push from a client
  // A `start` naming a broadcast channel (which exists): the activity it starts subscribes to
  // it, and at once receives `stored`, the channel's stored broadcast, when it has one.
  std::optional<Subscription> subscribes;
};
// A broadcast on `channel`, as each subscribed activity's update rules judged it (`id` names
// the activity).
struct SubscriberSteps {
  std::uint64_t id = 0;
  TakenSteps verdict;
};
struct BroadcastTaken {
  std::string channel;
  double now = 0;
  double clock = 0;
  std::vector<SubscriberSteps> subscribers;
  // A sender's broadcast, as the channel's newest; none for a stored one given to a subscriber.
  std::optional<BroadcastNews> news = std::nullopt;
};
// Local subscribers join `channel`: `count` activities started alike at `now` by one start,
// which the group's own rules judged (`verdict`), and given `stored`, the channel's stored
// broadcast, at once when it has one. Refused past the channel's or the board's budget.
struct SubscribersJoined {
  std::string channel;
  std::size_t count = 0;
  double now = 0;
  double clock = 0;
  TakenSteps verdict;
  std::optional<std::string> stored;
};
// The channel was deleted: its groups of local subscribers leave the board, and the activities
// that subscribed to it hear nothing from it any more.
struct ChannelDeleted {
  std::string channel;
  double now = 0;
};
// A push the service refused, before the phone saw it: the answer's status and reason, and
// what the check found beyond the reason ("the token's iat is 120 s ahead of the clock"), empty
// when it says nothing more.
struct PushRefused {
  std::string token;
  unsigned status = 400;
  std::string reason;
  std::string detail;
  double now = 0;
};
// The drawing numbered `serial` of activity `id` ended, the extension's failure included.
struct DrawingDone {
  std::uint64_t id = 0;
  std::uint64_t serial = 0;
  std::shared_ptr<const Drawing> drawing;
  double clock = 0;
};
// The drawing could not be made at all (the worker ran out of memory): the activity keeps
// what it showed, and draws its next state when it has one.
struct DrawingFailed {
  std::uint64_t id = 0;
  std::uint64_t serial = 0;
  std::string why;
  double clock = 0;
};
// A frame passed: an activity that waited for it may draw.
struct FrameTick {
  double clock = 0;
};
// A save of the watched file, about to be pushed to the watched `token`: `begins` when it is a
// `start` envelope or a plain content state, which begins the activity again once it has ended.
// The push follows as a PushTaken marked `watched`.
struct WatchSaved {
  std::string token;
  bool begins = false;
  double now = 0;
};
// What the file watch says of itself (its saves come as pushes to token 0).
struct WatchNoted {
  std::string note;
  double now = 0;
};
// A listener that missed events asks to catch up with what a page loaded at `now` shows.
struct CatchUpAsked {
  std::uint64_t listener = 0;
  double now = 0;
};
// The extensions were ended (the server stops): drawings under way and to come are dropped.
struct ExtensionsEnded {};

using BoardInput = std::variant<PushTaken, BroadcastTaken, SubscribersJoined, ChannelDeleted,
                                PushRefused, DrawingDone, DrawingFailed, FrameTick, WatchSaved,
                                WatchNoted, CatchUpAsked, ExtensionsEnded>;

}  // namespace corvlin::host::board
