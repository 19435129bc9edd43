// Broadcast channels on the board, as tables: groups of local subscribers and their own
// budget, a broadcast fanned out to devices and groups alike, the stored broadcast, a channel's
// deletion; all through boardStep alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/board/board_step.hpp"
#include "tests/board/board_driver.hpp"

namespace corvlin::host::board {
namespace {

using driven::Driver;
using driven::play;

BoardLimits limits(std::size_t devices, std::size_t perChannel, std::size_t groups) {
  BoardLimits l;
  l.maxActivities = devices;
  l.frameSeconds = 0;
  l.maxSubscribersPerChannel = perChannel;
  l.maxSubscriberGroups = groups;
  return l;
}

TEST(BoardSubscribers, GroupsHaveABudgetOfTheirOwnAndNeverGiveASlotUp) {
  play({{"join C 10000 show:s",
         {"admitted C#1-10000", "step C#1-10000 x10000 1 applied active", "joined C#1-10000",
          "draw C#1-10000 1"}},
        {"done C#1-10000", {"drawn C#1-10000 1"}},
        {"broadcast C dismiss",
         {"news C to 10000", "step C#1-10000 x10000 2 applied dismissed",
          "draw C#1-10000 2 nothing"}},
        {"done C#1-10000", {"drawn C#1-10000 2"}},
        // The one device slot is free beside the group, which never gives its own up.
        {"push 01 show:a",
         {"admitted 01", "step 01 1 applied active", "answer applied", "draw 01 1"}},
        {"push 02 show:b", {"refusal 02 429 TooManyRequests", "429"}}},
       limits(1, 10000, 4));
}

TEST(BoardSubscribers, AChannelAndTheBoardHoldSoManyAndSayWhyWhenFull) {
  const std::string full =
      "not joined: channel C holds 6000 local subscribers, and 5000 more "
      "would pass the 10000 a channel holds";
  play({{"join C 6000 show:s",
         {"admitted C#1-6000", "step C#1-6000 x6000 1 applied active", "joined C#1-6000",
          "draw C#1-6000 1"}},
        {"join C 5000 show:s", {"refusal C 429 TooManySubscribers", full}},
        {"join C 4000 show:s",
         {"admitted C#6001-10000", "step C#6001-10000 x4000 1 applied active",
          "joined C#6001-10000", "draw C#6001-10000 1"}},
        {"join D 1 show:s",
         {"refusal D 429 TooManySubscribers",
          "not joined: all 2 groups of local subscribers are taken; delete a channel to free its "
          "groups"}},
        {"join D 0 show:s",
         {"refusal D 400 BadRequest", "not joined: no local subscribers were asked for"}},
        {"delete C", {"reclaimed C#1-6000", "reclaimed C#6001-10000"}},
        {"join D 1 reject",
         {"refusal D 500 InternalServerError",
          "not joined: their start was not taken by the update rules"}}},
       limits(64, 10000, 2));
}

TEST(BoardSubscribers, ABroadcastReachesEverySubscriberThroughItsOwnStateAndOnlyItsChannel) {
  Driver board(limits(4, 10000, 4));
  const std::vector<std::vector<std::string>> said = {board.run("subscribe 01 C start:a"),
                                                      board.run("subscribe 02 C start:b"),
                                                      board.run("subscribe 03 other start:c"),
                                                      board.run("join C 250 show:s"),
                                                      board.run("push 02 end:b"),
                                                      board.run("broadcast C show:news")};
  EXPECT_EQ(reachOf(board.state().activities, "C"), 252u);
  EXPECT_EQ(reachOf(board.state().activities, "other"), 1u);
  EXPECT_EQ(localSubscribersOf(board.state(), "C"), 250u);
  // 02 has ended and ignores it, as the phone would; 03 is on another channel; the group's
  // one step stands for its 250.
  EXPECT_EQ(said.back(), (std::vector<std::string>{"news C to 252", "step 01 2 applied active",
                                                   "step 02 3 ignored ended",
                                                   "step C#1-250 x250 2 applied active"}));
  // A deleted channel reaches nobody: its group leaves, its devices keep their activities.
  EXPECT_EQ(board.state().news.size(), 1u);
  EXPECT_EQ(board.run("delete C"), std::vector<std::string>{"reclaimed C#1-250"});
  EXPECT_EQ(reachOf(board.state().activities, "C"), 0u);
  EXPECT_TRUE(board.state().news.empty()) << "a deleted channel's newest broadcast goes with it";
  EXPECT_EQ(board.run("broadcast C show:late"), std::vector<std::string>{"news C to 0"});
  EXPECT_NE(findActivity(board.state(), "01"), nullptr);
}

TEST(BoardSubscribers, NewSubscribersReceiveTheStoredBroadcastAtOnce) {
  play({{"join C 3 show:s stored-body",
         {"admitted C#1-3", "step C#1-3 x3 1 applied active", "joined C#1-3",
          "deliver C stored-body", "draw C#1-3 1"}},
        {"subscribe 01 C start:a",
         {"admitted 01", "step 01 1 applied active", "answer applied", "draw 01 1"}}},
       limits(4, 10000, 4));
}

}  // namespace
}  // namespace corvlin::host::board
