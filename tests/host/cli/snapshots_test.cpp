// render --format png as a user runs it: the pictures' sizes, their bytes from run to run, and the
// clipped warning (compare: compare_test.cpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/snapshot_folders.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;

// The width and height in a PNG's header.
std::pair<unsigned, unsigned> pngSize(const std::string& png) {
  auto at = [&](std::size_t i) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(png.at(i + k));
    return v;
  };
  EXPECT_EQ(png.substr(1, 3), "PNG");
  return {at(16), at(20)};
}

TEST(Snapshots, FourPicturesAtTheScaleAskedForAndTheSameBytesEveryRun) {
  const Scratch scratch;
  struct Case {
    const char* name;
    std::vector<std::string> extra;
    unsigned lockWidth;
    unsigned minimalWidth;
  };
  const Case cases[] = {{"3x by default", {}, 1113, 111},
                        {"1x", {"--scale", "1"}, 371, 37},
                        {"the larger phone at 2x", {"--width", "408", "--scale", "2"}, 816, 74}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string first = scratch / (std::string(c.name) + "-a");
    const std::string second = scratch / (std::string(c.name) + "-b");
    ASSERT_EQ(snapshot(first, c.extra).status, 0);
    ASSERT_EQ(snapshot(second, c.extra).status, 0);
    for (const char* name : pictureNames) {
      SCOPED_TRACE(name);
      const std::string png = bytesOf(fs::path(first) / name);
      EXPECT_EQ(png, bytesOf(fs::path(second) / name));
      EXPECT_EQ(png.find("tIME"), std::string::npos);
    }
    EXPECT_EQ(pngSize(bytesOf(fs::path(first) / "lock-screen.png")).first, c.lockWidth);
    EXPECT_EQ(pngSize(bytesOf(fs::path(first) / "island-minimal.png")),
              std::make_pair(c.minimalWidth, c.minimalWidth));
  }
}

TEST(Snapshots, AListGivesEachActivityItsFolderAndAFailureNone) {
  const Scratch scratch;
  const std::string list = R"([{"title":"One"},{"nope":1},{"title":"Three"}])";
  const HostRun run = snapshot(scratch / "list", {}, list);
  EXPECT_EQ(run.status, 65) << run.err;
  EXPECT_TRUE(fs::exists(fs::path(scratch / "list") / "0" / "lock-screen.png"));
  EXPECT_FALSE(fs::exists(fs::path(scratch / "list") / "1"));
  EXPECT_TRUE(fs::exists(fs::path(scratch / "list") / "2" / "island-minimal.png"));
}

TEST(Snapshots, ALongTextIsATruncatedWarningNamingItsFieldWhereverWarningsGo) {
  const std::string tall =
      R"({"title":"Your order from the Corner Bakery is being packed and will leave the shop shortly",)"
      R"("body":"Three sourdough loaves, a dozen cinnamon rolls and a birthday cake with candles",)"
      R"("detail":"Courier: Alexandra, on a cargo bike, arriving at the back entrance",)"
      R"("actions":[{"actionId":"a","label":"Call the courier"},{"actionId":"b","label":"Change it"}]})";
  const HostRun plain = runHost({"render", "-", "--now", pinnedNow}, tall);
  EXPECT_EQ(plain.status, 0);
  EXPECT_NE(plain.err.find(R"({"warning":{"kind":"truncated","codingPath":["title"],)"
                           R"("presentation":"lockScreen","shownLines":2,"lines":3,)"
                           R"("description":"The title, \"Your order from)"),
            std::string::npos)
      << plain.err;
  EXPECT_NE(plain.err.find(R"("codingPath":["body"],"presentation":"expanded")"),
            std::string::npos);
  // Every text gave up what it could, and the rest fits: nothing is cut off.
  EXPECT_EQ(plain.err.find(R"("kind":"clipped")"), std::string::npos) << plain.err;
  EXPECT_EQ(runHost({"render", "-", "--now", pinnedNow, "--strict"}, tall).status, 65);
  const HostRun json = runHost({"render", "-", "--now", pinnedNow, "--format", "json"},
                               "[{\"title\":\"a\"},{\"contentState\":" + tall + "}]");
  EXPECT_NE(json.out.find(R"("codingPath":[1,"contentState","title"],"presentation":"lockScreen")"),
            std::string::npos)
      << json.out;
  // The default activity fits every frame.
  EXPECT_EQ(runHost({"render", "--now", pinnedNow}).err, "");
}

TEST(Snapshots, AReplayedRecordThatIsTruncatedWarnsWithItsIndex) {
  const std::string timeline =
      R"({"aps":{"timestamp":1767225600,"event":"start","content-state":{"title":"Order 42"},)"
      R"("attributes-type":"CorvlinLiveActivityAttributes","attributes":{"kind":"d","activityId":"A"}}})"
      "\n"
      R"({"aps":{"timestamp":1767225660,"event":"update","content-state":{"title":"Order 42",)"
      R"("body":"Your order from the Corner Bakery is being packed and will leave the shop )"
      R"(shortly, with three sourdough loaves, a dozen cinnamon rolls and a birthday cake; the )"
      R"(courier, Alexandra, rides a cargo bike and will ring twice at the back entrance"}}})"
      "\n";
  const HostRun run = runHost({"replay", "-", "--format", "json"}, timeline);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(R"({"warning":{"kind":"truncated","codingPath":[1,"aps","content-state",)"
                         R"("body"],"presentation":"lockScreen")"),
            std::string::npos)
      << run.err;
  EXPECT_NE(
      run.out.find(R"("codingPath":["aps","content-state","body"],"presentation":"expanded")"),
      std::string::npos);
  EXPECT_EQ(runHost({"replay", "-", "--strict"}, timeline).status, 65);
}

}  // namespace
}  // namespace corvlin::test
