// The channels kept in a state folder: read back by the next server, a failed write told and
// made good by the next, a damaged file named.
#include "host/server/channel_desk.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
  first.value().keepBroadcast("BBBB", {"{\"aps\":{}}", 5, std::nullopt});
  first.value().flush();

  auto again = ChannelDesk::inFolder(folder.path);
  ASSERT_TRUE(again) << again.error();
  EXPECT_EQ(again.value().store(), first.value().store());
  ASSERT_EQ(again.value().store().channels.size(), 1u);
  EXPECT_EQ(again.value().store().channels[0].newest->body, "{\"aps\":{}}");
}

TEST(ChannelDesk, AWriteThatFailsIsToldAndTheNextOneHoldsEveryChange) {
  const Folder folder;
  std::vector<std::string> failures;  // read after flush(), which follows each write
  auto desk =
      ChannelDesk::inFolder(folder.path, [&failures](std::string why) { failures.push_back(why); });
  ASSERT_TRUE(desk) << desk.error();
  desk.value().manage(board::CreateChannel{config, "AAAA"});
  desk.value().flush();
  // A folder where the file goes cannot be replaced.
  fs::remove(folder.path + "/channels.json");
  fs::create_directory(folder.path + "/channels.json");
  const board::ChannelOutcome outcome = desk.value().manage(board::CreateChannel{config, "BBBB"});
  EXPECT_TRUE(std::holds_alternative<board::ChannelAnswer>(outcome)) << "served from memory";
  desk.value().keepBroadcast("AAAA", {"{}", 5, std::nullopt});
  desk.value().flush();
  ASSERT_FALSE(failures.empty());
  EXPECT_NE(failures.back().find("channels.json"), std::string::npos) << failures.back();
  ASSERT_EQ(desk.value().store().channels.size(), 2u);
  EXPECT_TRUE(desk.value().store().channels[0].newest) << "kept in memory all the same";

  fs::remove(folder.path + "/channels.json");
  const std::size_t failed = failures.size();
  desk.value().manage(board::CreateChannel{config, "CCCC"});
  desk.value().flush();
  EXPECT_EQ(failures.size(), failed);
  auto again = ChannelDesk::inFolder(folder.path);
  ASSERT_TRUE(again) << again.error();
  EXPECT_EQ(again.value().store(), desk.value().store()) << "the write that worked holds all";
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
