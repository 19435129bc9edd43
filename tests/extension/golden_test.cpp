// Checked-in presentations for a few contrasting activities at pinned instants.
// Set CORVLIN_UPDATE_GOLDEN=1 to rewrite the expected files from the current output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "extension/runner.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin {
namespace {

const std::string dataDir = CORVLIN_TEST_DATA;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

Instant unreadClock() {
  ADD_FAILURE() << "a golden request must pin its instant";
  return {};
}

TEST(Golden, PresentationsMatchTheCheckedInFiles) {
  struct Case {
    const char* request;   // relative to the test data
    const char* expected;  // relative to the test data
  };
  const Case cases[] = {
      {"../../host/samples/default-activity.json", "golden/default-activity.presentations.json"},
      {"golden/no-timer.request.json", "golden/no-timer.presentations.json"},
      {"golden/count-up.request.json", "golden/count-up.presentations.json"},
      {"golden/elapsed-countdown-with-actions.request.json",
       "golden/elapsed-countdown-with-actions.presentations.json"},
      {"golden/unknown-tone.request.json", "golden/unknown-tone.presentations.json"},
      {"golden/five-actions-with-blanks.request.json",
       "golden/five-actions-with-blanks.presentations.json"},
  };
  const char* update = std::getenv("CORVLIN_UPDATE_GOLDEN");
  const bool updating = update != nullptr && std::string(update) == "1";
  const std::string prefix = R"({"presentations":)";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const std::string request = readFile(dataDir + "/" + c.request);
    ASSERT_FALSE(request.empty());
    const std::string got = answer(firstLine(request), unreadClock);
    ASSERT_EQ(got.rfind(prefix, 0), 0u) << got;
    const std::string presentations = got.substr(prefix.size(), got.size() - prefix.size() - 1);

    // The written form reads back into the same trees.
    simdjson::dom::parser parser;
    const auto read = ui::presentationsFromJson(parser.parse(presentations).value());
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(ui::toJson(*read), presentations);

    const std::string path = dataDir + "/" + c.expected;
    if (updating) {
      std::ofstream(path, std::ios::binary) << presentations << '\n';
      continue;
    }
    EXPECT_EQ(presentations + "\n", readFile(path))
        << "after a deliberate change, rerun with CORVLIN_UPDATE_GOLDEN=1";
  }
}

}  // namespace
}  // namespace corvlin
