// A broadcast fanned out through each subscriber's own update rules (the platform's, not
// stand-ins): ended subscribers ignore it, an old one is ignored, a stale date is taken, the
// channel's stored broadcast reaches a new subscriber at once, and activities of no channel or
// of another are untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_test_support.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/phone_side.hpp"
#include "host/server/server_page.hpp"

namespace corvlin::host::server {
namespace {

std::string start(double at) {
  return R"({"aps":{"event":"start","timestamp":)" + std::to_string(at) +
         R"(,"attributes-type":"CorvlinLiveActivityAttributes",)"
         R"("attributes":{"kind":"delivery","activityId":"A1"},"content-state":{"title":"Kickoff"}}})";
}
std::string update(double at, const std::string& title, const std::string& more = "") {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(at) +
         R"(,"content-state":{"title":")" + title + R"("})" + more + "}}";
}
std::string end(double at) {
  return R"({"aps":{"event":"end","timestamp":)" + std::to_string(at) + "}}";
}

const board::ActivityRecord* find(const ActivityBoard& board, const std::string& token) {
  for (const board::ActivityRecord& record : board.activities()) {
    if (record.token == token) return &record;
  }
  return nullptr;
}

// A broadcast's body, when it arrives, and the log entries it makes.
struct Case {
  const char* name;
  std::string body;
  double now;
  std::vector<std::string> logged;
};

class FanOut : public ::testing::Test {
 protected:
  FanOut() : board_(side()) {}

  PhoneSide side() {
    PhoneSide phone = seats_.side();
    phone.rules = updateRules;
    return phone;
  }

  void startSubscribed(const std::string& token, const std::string& channel, double now,
                       std::optional<std::string> stored = std::nullopt) {
    board_.push(token, start(now), now, nullptr, {}, board::Subscription{channel, stored});
  }

  // The log entries since the last call: "TOKEN EVENT OUTCOME STATE", state from the activity.
  std::vector<std::string> logged() {
    std::vector<std::string> lines;
    for (std::size_t i = seen_; i < board_.log().size(); ++i) {
      const LogEntry& entry = board_.log()[i];
      const board::ActivityRecord* record = find(board_, entry.token);
      lines.push_back(entry.token + " " + entry.event + " " + entry.outcome + " " +
                      std::string(board::stateLabel(record ? record->state : std::nullopt)));
    }
    seen_ = board_.log().size();
    return lines;
  }

  stand_ins::Seats seats_;
  ActivityBoard board_;
  std::size_t seen_ = 0;
};

TEST_F(FanOut, EverySubscriberTakesTheBroadcastThroughItsOwnRules) {
  startSubscribed("0a", "ch", 100);
  startSubscribed("0b", "ch", 100);
  startSubscribed("0c", "ch", 100);
  startSubscribed("0d", "other", 100);
  stand_ins::pushNow(board_, "0e", start(100), 100);  // subscribed to nothing
  stand_ins::pushNow(board_, "0c", end(101), 101);
  logged();

  const std::vector<Case> cases = {
      {"an update: the ended subscriber ignores it",
       update(110, "1-0"),
       110,
       {"0a update applied active", "0b update applied active", "0c update ignored ended"}},
      {"one older than the last update is ignored",
       update(105, "0-0"),
       111,
       {"0a update ignored active", "0b update ignored active", "0c update ignored ended"}},
      {"a stale date already past makes them stale",
       update(112, "2-0", R"(,"stale-date":100)"),
       112,
       {"0a update applied stale", "0a stale applied stale", "0b update applied stale",
        "0b stale applied stale", "0c update ignored ended"}},
      {"an end ends every live subscriber",
       end(120),
       120,
       {"0a end applied ended", "0b end applied ended", "0c end ignored ended"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(board_.broadcast("ch", c.body, c.now), 3u);
    EXPECT_EQ(logged(), c.logged);
  }
  EXPECT_EQ(board_.broadcast("nobody", update(130, "x"), 130), 0u);
  EXPECT_EQ(logged(), std::vector<std::string>{});
  EXPECT_EQ(find(board_, "0d")->pushes, 1u) << "another channel's";
  EXPECT_EQ(find(board_, "0e")->pushes, 1u) << "no channel's";
}

TEST_F(FanOut, ANewSubscriberReceivesTheStoredBroadcastAtOnce) {
  startSubscribed("0a", "ch", 100, update(101, "stored"));
  EXPECT_EQ(logged(),
            (std::vector<std::string>{"0a start applied active", "0a update applied active"}));
  const board::ActivityRecord* record = find(board_, "0a");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->channel, "ch");
  EXPECT_EQ(record->pushes, 2u) << "the stored broadcast counts as the activity's next push";

  // A start the rules do not take subscribes nothing, and receives nothing.
  board_.push("0b", update(100, "not a start"), 100, nullptr, {},
              board::Subscription{"ch", update(101, "stored")});
  EXPECT_EQ(logged(), std::vector<std::string>{"0b update applied active"});
  EXPECT_EQ(find(board_, "0b")->channel, "");
}

TEST_F(FanOut, ThePageShowsEachChannelWithItsSubscribers) {
  startSubscribed("0a", "ch", 100);
  startSubscribed("0b", "ch", 100);
  startSubscribed("0c", "other", 100);
  board::ChannelStore channels{{{"ch", 1, board::StoredBroadcast{"{}", 3600, std::nullopt}},
                                {"other", 0, std::nullopt},
                                {"none", 0, std::nullopt}}};
  ASSERT_TRUE(std::holds_alternative<board::SubscribersAdded>(
      board_.addSubscribers("ch", 500, start(100), 100)));
  // The newest broadcast of each channel, with its warnings (an unknown tone's here).
  const std::string goal =
      R"({"aps":{"event":"update","timestamp":101,"content-state":{"title":"Goal","tone":"Warning"}}})";
  board_.broadcast("ch", goal, 101, "delivered", judgeBroadcast(goal, 101).warnings);
  board_.broadcast("other", "{}", 102, "rejected");
  const std::string page = servePage(board_, 102, channels).html;
  const std::string count = R"(<td class="subscribers" data-testid="channel-subscribers">)";
  const std::string newest = R"(<td class="newest-broadcast" data-testid="newest-broadcast">)";
  for (const std::string& row :
       {"<td>ch</td><td>the most recent message</td>" + count + "502</td>" + newest +
            R"(00:01:41 to 502: delivered<ul class="log-warnings" data-testid="log-warnings">)"
            R"(<li class="warning" data-kind="unknownKeyword">unknownKeyword at)",
        "<td>other</td><td>no message</td>" + count + "1</td>" + newest +
            "00:01:42 to 1: rejected</td><td></td>",
        "<td>none</td><td>no message</td>" + count + "0</td>" + newest + "</td><td></td>"}) {
    EXPECT_NE(page.find(row), std::string::npos) << row;
  }
  EXPECT_EQ(servePage(board_, 100).html.find("Broadcast channels"), std::string::npos)
      << "no table while there is no channel";
}

// Local subscribers: one group of many, started alike, through the same rules as a device's.
TEST_F(FanOut, AGroupOfLocalSubscribersTakesEachBroadcastAsOneOfThemWould) {
  startSubscribed("0a", "ch", 100);
  const auto joined = board_.addSubscribers("ch", 9995, start(100), 100);
  ASSERT_TRUE(std::holds_alternative<board::SubscribersAdded>(joined));
  EXPECT_EQ(std::get<board::SubscribersAdded>(joined).token, "ch#1-9995");
  // A later group, given the channel's stored broadcast as it joins; the channel is full then.
  board_.addSubscribers("ch", 5, start(102), 102, update(102, "stored"));
  EXPECT_TRUE(std::holds_alternative<board::SubscribersRefused>(
      board_.addSubscribers("ch", 1, start(102), 102)));
  EXPECT_EQ(logged(), (std::vector<std::string>{
                          "0a start applied active", "ch#1-9995 start applied active",
                          "ch#9996-10000 start applied active",
                          "ch#9996-10000 update applied active", "ch  refused not started"}));
  const std::vector<Case> cases = {
      {"an update older than the later group's stored one",
       update(100.5, "1-0"),
       110,
       {"0a update applied active", "ch#1-9995 update applied active",
        "ch#9996-10000 update ignored active"}},
      {"a stale date already past",
       update(112, "2-0", R"(,"stale-date":100)"),
       112,
       {"0a update applied stale", "0a stale applied stale", "ch#1-9995 update applied stale",
        "ch#1-9995 stale applied stale", "ch#9996-10000 update applied stale",
        "ch#9996-10000 stale applied stale"}},
      {"an end",
       end(120),
       120,
       {"0a end applied ended", "ch#1-9995 end applied ended", "ch#9996-10000 end applied ended"}},
      {"after the end",
       update(130, "3-0"),
       130,
       {"0a update ignored ended", "ch#1-9995 update ignored ended",
        "ch#9996-10000 update ignored ended"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(board_.broadcast("ch", c.body, c.now), 10001u);
    EXPECT_EQ(logged(), c.logged);
  }
  board_.channelDeleted("ch", 140);
  EXPECT_EQ(board_.broadcast("ch", update(150, "gone"), 150), 0u);
  EXPECT_EQ(find(board_, "ch#1-9995"), nullptr);
}

}  // namespace
}  // namespace corvlin::host::server
