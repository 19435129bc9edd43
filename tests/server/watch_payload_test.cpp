// What a watched file's save becomes as a push body.
#include "host/server/watch_payload.hpp"

#include <gtest/gtest.h>

namespace corvlin::host::server {
namespace {

TEST(WatchPayload, WrapsContentStatesAsAnUpdateNow) {
  struct Case {
    const char* name;
    std::string contents;
    std::string body;
  };
  const std::string envelope = R"({"aps":{"event":"end","timestamp":5}})";
  const std::vector<Case> cases = {
      {"envelope as it is", envelope, envelope},
      {"content state", "{ \"title\" : \"A\" }\n",
       R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"A"}}})"},
      {"attributes and content state",
       R"({"attributes":{"kind":"k","activityId":"a"},"contentState":{"title":"B"}})",
       R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"B"}}})"},
      {"not JSON", "{\"title\":", "{\"title\":"},
      {"not an object", "[1,2]", "[1,2]"},
      {"over what a push may hold, though its content state would fit: as it is, to be "
       "rejected as too large",
       R"({"title":"A"})" + std::string(4084, ' '), R"({"title":"A"})" + std::string(4084, ' ')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(watchedPushBody(c.contents, 1767225510.75), c.body);
  }
}

TEST(WatchPayload, ASaveBeginsAnActivityWhenItIsAStartOrAContentState) {
  struct Case {
    std::string contents;
    bool begins;
  };
  const std::vector<Case> cases = {
      {R"({"aps":{"event":"start","timestamp":5,"content-state":{"title":"A"}}})", true},
      {R"({"title":"A"})", true},
      {R"({"attributes":{"kind":"k","activityId":"a"},"contentState":{"title":"B"}})", true},
      {R"({"aps":{"event":"update","timestamp":5,"content-state":{"title":"A"}}})", false},
      {R"({"aps":{"event":"end","timestamp":5}})", false},
      {R"({"aps":{"timestamp":5}})", false},
      {R"({"aps":{"event":7}})", false},
      {"{\"title\":", false},
      {"[1,2]", false},
      {R"({"title":"A"})" + std::string(4084, ' '), false},  // too large to be taken at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contents);
    EXPECT_EQ(watchedSaveBegins(c.contents), c.begins);
  }
}

}  // namespace
}  // namespace corvlin::host::server
