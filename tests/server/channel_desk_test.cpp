// The channels kept in a state folder: read back by the next server, a failed write refused
// and not made, a damaged file named.
#include "host/server/channel_desk.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace corvlin::host::server {
namespace {

namespace fs = std::filesystem;

struct Folder {
  std::string path;
  Folder() {
    char dir[] = "/tmp/corvlin-channels-test-XXXXXX";
    path = mkdtemp(dir) != nullptr ? dir : "";
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
};

constexpr const char* config = R"({"message-storage-policy":1,"push-type":"LiveActivity"})";

TEST(ChannelDesk, ChannelsOutliveTheServerInTheStateFolder) {
  const Folder folder;
  auto first = ChannelDesk::inFolder(folder.path);
  ASSERT_TRUE(first) << first.error();
  EXPECT_TRUE(first.value().store().channels.empty()) << "no file yet: no channels";
  ASSERT_TRUE(std::holds_alternative<board::ChannelAnswer>(
      first.value().manage(board::CreateChannel{config, "AAAA"})));
  ASSERT_TRUE(std::holds_alternative<board::ChannelAnswer>(
      first.value().manage(board::CreateChannel{config, "BBBB"})));
  first.value().manage(board::DeleteChannel{"AAAA"});
  EXPECT_EQ(first.value().keepBroadcast("BBBB", {"{\"aps\":{}}", 5, std::nullopt}), std::nullopt);

  auto again = ChannelDesk::inFolder(folder.path);
  ASSERT_TRUE(again) << again.error();
  EXPECT_EQ(again.value().store(), first.value().store());
  ASSERT_EQ(again.value().store().channels.size(), 1u);
  EXPECT_EQ(again.value().store().channels[0].newest->body, "{\"aps\":{}}");
}

TEST(ChannelDesk, AChangeThatCannotBeWrittenIsRefusedAndNotMade) {
  const Folder folder;
  auto desk = ChannelDesk::inFolder(folder.path);
  ASSERT_TRUE(desk) << desk.error();
  desk.value().manage(board::CreateChannel{config, "AAAA"});
  // A folder where the file goes cannot be replaced.
  fs::remove(folder.path + "/channels.json");
  fs::create_directory(folder.path + "/channels.json");
  const board::ChannelOutcome outcome = desk.value().manage(board::CreateChannel{config, "BBBB"});
  const auto* refused = std::get_if<board::ChannelRefusal>(&outcome);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->status, 500u);
  EXPECT_EQ(refused->reason, "InternalServerError");
  EXPECT_NE(refused->detail.find("channels.json"), std::string::npos) << refused->detail;
  EXPECT_EQ(desk.value().store().channels.size(), 1u);
  EXPECT_NE(desk.value().keepBroadcast("AAAA", {"{}", 5, std::nullopt}), std::nullopt);
  EXPECT_FALSE(desk.value().store().channels[0].newest) << "a broadcast not saved is not kept";
}

TEST(ChannelDesk, ADamagedFileIsNamedAndNotServed) {
  const Folder folder;
  std::ofstream(folder.path + "/channels.json") << R"({"channels":[{"id":"AAAA"}]})";
  auto desk = ChannelDesk::inFolder(folder.path);
  ASSERT_FALSE(desk);
  EXPECT_NE(desk.error().find(folder.path + "/channels.json does not hold the channels: "
                                            "keyNotFound at channels[0].message-storage-policy"),
            std::string::npos)
      << desk.error();
}

}  // namespace
}  // namespace corvlin::host::server
