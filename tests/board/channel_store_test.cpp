// The channel store as the push service keeps it: channel management's answers and refusals,
// the stored broadcast of each storage policy, and the store's file.
#include "host/board/channel_store.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvlin::host::board {
namespace {

constexpr const char* stored = R"({"message-storage-policy":1,"push-type":"LiveActivity"})";

ChannelStore oneChannel(int policy = 1) { return {{{"AAAAAAAAAAAAAAAAAAAAAA==", policy, {}}}}; }

std::string said(const ChannelOutcome& outcome) {
  if (const auto* refused = std::get_if<ChannelRefusal>(&outcome)) {
    return std::to_string(refused->status) + " " + refused->reason;
  }
  const auto& answer = std::get<ChannelAnswer>(outcome);
  return std::to_string(answer.status) + " " + answer.channelId + " " + answer.body;
}

TEST(ChannelStore, AnswersAndRefusesChannelManagementAsTheServiceDoes) {
  const std::string id = "AAAAAAAAAAAAAAAAAAAAAA==";
  struct Case {
    const char* name;
    ChannelRequest request;
    std::string answer;
    std::size_t channelsAfter;
  };
  const std::vector<Case> cases = {
      {"create", CreateChannel{stored, "BBBBBBBBBBBBBBBBBBBBBB=="},
       "201 BBBBBBBBBBBBBBBBBBBBBB== ", 2},
      {"create, node-apn's lower-case push type",
       CreateChannel{R"({"message-storage-policy":0,"push-type":"liveactivity"})", "Bg=="},
       "201 Bg== ", 2},
      {"storage policy 2",
       CreateChannel{R"({"message-storage-policy":2,"push-type":"LiveActivity"})", "Bg=="},
       "400 BadRequest", 1},
      {"storage policy as a string",
       CreateChannel{R"({"message-storage-policy":"1","push-type":"LiveActivity"})", "Bg=="},
       "400 BadRequest", 1},
      {"no storage policy", CreateChannel{R"({"push-type":"LiveActivity"})", "Bg=="},
       "400 BadRequest", 1},
      {"not JSON", CreateChannel{"policy=1", "Bg=="}, "400 BadRequest", 1},
      {"another push type",
       CreateChannel{R"({"message-storage-policy":0,"push-type":"alert"})", "Bg=="},
       "400 InvalidPushType", 1},
      {"read", ReadChannel{id},
       "200 " + id + R"( {"message-storage-policy":1,"push-type":"LiveActivity"})", 1},
      {"read without an id", ReadChannel{std::nullopt}, "400 MissingChannelId", 1},
      {"read an empty id", ReadChannel{""}, "400 MissingChannelId", 1},
      {"read an id that is not base64", ReadChannel{"not base64!"}, "400 BadChannelId", 1},
      {"read an id with its padding cut", ReadChannel{"AAAAAAAAAAAAAAAAAAAAAA"}, "400 BadChannelId",
       1},
      {"read an id too long", ReadChannel{std::string(68, 'A')}, "400 BadChannelId", 1},
      {"read an unknown id", ReadChannel{"CCCCCCCCCCCCCCCCCCCCCC=="}, "400 ChannelNotRegistered",
       1},
      {"read all", ReadAllChannels{}, "200  {\"channels\":[\"" + id + "\"]}", 1},
      {"delete", DeleteChannel{id}, "204 " + id + " ", 0},
      {"delete without an id", DeleteChannel{std::nullopt}, "400 MissingChannelId", 1},
      {"delete an unknown id", DeleteChannel{"CCCCCCCCCCCCCCCCCCCCCC=="},
       "400 ChannelNotRegistered", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ChannelStep step = manageChannel(oneChannel(), c.request);
    EXPECT_EQ(said(step.outcome), c.answer);
    EXPECT_EQ(step.store.channels.size(), c.channelsAfter);
    EXPECT_EQ(step.changed, step.store != oneChannel()) << "a change, and only one, is written";
  }
}

TEST(ChannelStore, ADeletedChannelIsGoneForEveryRequestAndAFullAppMakesNoMore) {
  ChannelStep step = manageChannel(oneChannel(), DeleteChannel{"AAAAAAAAAAAAAAAAAAAAAA=="});
  for (const ChannelRequest& again : {ChannelRequest{DeleteChannel{"AAAAAAAAAAAAAAAAAAAAAA=="}},
                                      ChannelRequest{ReadChannel{"AAAAAAAAAAAAAAAAAAAAAA=="}}}) {
    EXPECT_EQ(said(manageChannel(step.store, again).outcome), "400 ChannelNotRegistered");
  }
  EXPECT_EQ(said(manageChannel(step.store, ReadAllChannels{}).outcome), R"(200  {"channels":[]})");

  ChannelStore full;
  for (std::size_t i = 0; i < maxChannels; ++i) full.channels.push_back({std::to_string(i), 0, {}});
  const ChannelStep refused = manageChannel(full, CreateChannel{stored, "Bg=="});
  EXPECT_EQ(said(refused.outcome), "400 CannotCreateChannelConfig");
  EXPECT_NE(std::get<ChannelRefusal>(refused.outcome).detail.find("10000 channels"),
            std::string::npos)
      << "the limit is named";
  EXPECT_FALSE(refused.changed);
}

TEST(ChannelStore, KeepsTheNewestBroadcastOnlyWhereThePolicySaysAndUntilItExpires) {
  struct Case {
    const char* name;
    int policy;
    std::optional<double> expires;
    double subscribedAt;
    std::optional<std::string> delivered;
  };
  const std::vector<Case> cases = {
      {"policy 1 keeps it", 1, std::nullopt, 500, "newest"},
      {"policy 0 keeps nothing", 0, std::nullopt, 101, std::nullopt},
      {"kept until it expires", 1, 200.0, 199, "newest"},
      {"not after", 1, 200.0, 200, std::nullopt},
      {"an expiration already past keeps nothing", 1, 100.0, 101, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelStore store = withBroadcast(oneChannel(c.policy),
                                       "AAAAAAAAAAAAAAAAAAAAAA==", {"older", 90, std::nullopt});
    store = withBroadcast(store, "AAAAAAAAAAAAAAAAAAAAAA==", {"newest", 100, c.expires});
    const auto got = storedFor(store, "AAAAAAAAAAAAAAAAAAAAAA==", c.subscribedAt);
    EXPECT_EQ(got ? std::optional(got->body) : std::nullopt, c.delivered);
  }
  EXPECT_EQ(withBroadcast(oneChannel(), "unknown", {"x", 1, std::nullopt}), oneChannel());
}

TEST(ChannelStore, ItsFileReadsBackWhatWasWrittenAndADamagedOneSaysWhere) {
  ChannelStore store = oneChannel();
  store.channels.push_back({"Bg==", 0, {}});
  store = withBroadcast(store, "AAAAAAAAAAAAAAAAAAAAAA==",
                        {R"({"aps":{"event":"update","content-state":{"title":"1–0 \"ok\""}}})",
                         1767225510.5, 1767229110.0});
  const auto read = readChannelStore(channelStoreJson(store));
  ASSERT_TRUE(read) << errorText(read.error());
  EXPECT_EQ(read.value(), store);

  const auto damaged =
      readChannelStore(R"({"channels":[{"id":"Bg==","message-storage-policy":3}]})");
  ASSERT_FALSE(damaged);
  EXPECT_EQ(
      errorText(damaged.error()).rfind("dataCorrupted at channels[0].message-storage-policy", 0),
      0u)
      << errorText(damaged.error());
}

}  // namespace
}  // namespace corvlin::host::board
