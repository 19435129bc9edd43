// The board's steps of broadcast channels: a broadcast taken by every subscriber, groups of
// local subscribers joining a channel, and a channel's deletion.
#include <algorithm>
#include <string>
#include <utility>

#include "host/board/board_stepper.hpp"

namespace corvlin::host::board::stepping {

void Stepper::operator()(BroadcastTaken& in) {
  if (in.news) {
    std::erase_if(s_.news, [&in](const BroadcastNews& n) { return n.channel == in.channel; });
    s_.news.push_back(*in.news);
    emit(Broadcasted{std::move(*in.news)});
  }
  for (SubscriberSteps& subscriber : in.subscribers) {
    ActivityRecord* record = byId(subscriber.id);
    if (record == nullptr) continue;  // it gave its slot up meanwhile
    take(*record, subscriber.verdict, in.now);
    drawNext(*record, in.clock);
  }
}

void Stepper::operator()(SubscribersJoined& in) {
  const BoardLimits& limits = s_.limits;
  const std::size_t held = localSubscribersOf(s_, in.channel);
  const auto groups = static_cast<std::size_t>(
      std::count_if(s_.activities.begin(), s_.activities.end(),
                    [](const ActivityRecord& r) { return r.subscribers > 0; }));
  std::string why;
  unsigned status = 429;
  std::string reason = "TooManySubscribers";
  if (in.count == 0) {
    why = "no local subscribers were asked for";
    status = 400;
    reason = "BadRequest";
  } else if (in.count >
             limits.maxSubscribersPerChannel - std::min(held, limits.maxSubscribersPerChannel)) {
    why = "channel " + in.channel + " holds " + std::to_string(held) + " local subscribers, and " +
          std::to_string(in.count) + " more would pass the " +
          std::to_string(limits.maxSubscribersPerChannel) + " a channel holds";
  } else if (groups >= limits.maxSubscriberGroups) {
    why = "all " + std::to_string(limits.maxSubscriberGroups) +
          " groups of local subscribers are taken; delete a channel to free its groups";
  } else if (in.verdict.own >= in.verdict.steps.size() ||
             !std::holds_alternative<updates::Applied>(
                 in.verdict.steps[in.verdict.own].step.outcome)) {
    why = "their start was not taken by the update rules";
    status = 500;
    reason = "InternalServerError";
  }
  if (!why.empty()) {
    refuse(in.channel, status, reason, why, in.now);
    emit(Joined{SubscribersRefused{status, std::move(reason), std::move(why)}});
    return;
  }
  ActivityRecord record;
  record.id = ++s_.activitiesMade;
  record.token = subscriberGroupToken(in.channel, held + 1, in.count);
  record.channel = in.channel;
  record.subscribers = in.count;
  record.firstSubscriber = held + 1;
  s_.byToken.emplace(record.token, s_.activities.size());
  s_.activities.push_back(std::move(record));
  ActivityRecord& group = s_.activities.back();
  emit(Admitted{group.id, group.token});
  take(group, in.verdict, in.now);
  emit(Joined{SubscribersAdded{group.id, group.token, group.firstSubscriber, group.subscribers}});
  if (in.stored) emit(DeliverStored{group.id, group.channel, std::move(*in.stored), in.now});
  drawNext(group, in.clock);
}

void Stepper::operator()(const ChannelDeleted& in) {
  std::erase_if(s_.news, [&in](const BroadcastNews& n) { return n.channel == in.channel; });
  for (ActivityRecord& record : s_.activities) {
    if (record.subscribers == 0 && record.channel == in.channel) record.channel.clear();
  }
  auto& all = s_.activities;
  for (auto group = all.begin(); group != all.end();) {
    if (group->subscribers > 0 && group->channel == in.channel) {
      const auto at = group - all.begin();
      leave(group, in.now);
      group = all.begin() + at;
    } else {
      ++group;
    }
  }
}

}  // namespace corvlin::host::board::stepping
