// A required key that is missing while a member near it is there: the keyNotFound error keeps its
// kind and path and gains a hint naming what was written, by the measure of the unknownKey
// warnings (json/near_key.hpp).
#include <gtest/gtest.h>

#include <functional>

#include "model/coding.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin {
namespace {

using Decode = std::function<std::optional<DecodingError>(std::string_view)>;

template <class Read>
Decode failureOf(Read read) {
  return [read](std::string_view json) -> std::optional<DecodingError> {
    auto decoded = read(json);
    if (decoded) return std::nullopt;
    return std::move(decoded).error();
  };
}

TEST(MisspeltKey, TheMissingKeysErrorNamesWhatWasWritten) {
  const Decode state = failureOf([](std::string_view j) { return decodeContentState(j); });
  const Decode attributes = failureOf([](std::string_view j) { return decodeAttributes(j); });
  const Decode envelope = failureOf([](std::string_view j) { return updates::decodeEnvelope(j); });
  const auto aps = [](const std::string& members) { return R"({"aps":{)" + members + "}}"; };
  struct Case {
    const char* name;
    Decode decode;
    std::string json;
    CodingPath path;
    std::string hint;  // empty: none
  };
  constexpr std::size_t n0 = 0;
  // clang-format off
  const Case cases[] = {
      {"swapped letters", state, R"({"titel":"x"})", {"title"}, R"(found "titel"; did you mean "title"?)"},
      {"another case", state, R"({"Title":"x"})", {"title"}, R"(found "Title"; the key is "title")"},
      {"two edits", state, R"({"tilt":"x"})", {"title"}, R"(found "tilt"; did you mean "title"?)"},
      {"snake case in an action", state, R"({"title":"t","actions":[{"action_id":"a","label":"A"}]})",
       {"actions", n0, "actionId"}, R"(found "action_id"; the key is "actionId")"},
      {"typo in an action", state, R"({"title":"t","actions":[{"actionId":"a","lable":"A"}]})",
       {"actions", n0, "label"}, R"(found "lable"; did you mean "label"?)"},
      {"attributes", attributes, R"({"kind":"k","activity_id":"a"})", {"activityId"},
       R"(found "activity_id"; the key is "activityId")"},
      {"underscore for a hyphen", envelope, aps(R"("timestamp":1,"event":"update","content_state":{"title":"t"})"),
       {"aps", "content-state"}, R"(found "content_state"; the key is "content-state")"},
      {"camel case for a hyphen", envelope, aps(R"("timestamp":1,"event":"update","contentState":{"title":"t"})"),
       {"aps", "content-state"}, R"(found "contentState"; the key is "content-state")"},
      {"event", envelope, aps(R"("timestamp":1,"evnet":"end")"), {"aps", "event"},
       R"(found "evnet"; did you mean "event"?)"},
      {"timestamp", envelope, aps(R"("time_stamp":1,"event":"end")"), {"aps", "timestamp"},
       R"(found "time_stamp"; the key is "timestamp")"},
      {"the wrapper", envelope, R"({"APS":{}})", {"aps"}, R"(found "APS"; the key is "aps")"},
      {"the first of two in document order", state, R"({"tilte":"x","titel":"y"})", {"title"},
       R"(found "tilte"; did you mean "title"?)"},
      // No hint: nothing near, a member nearer another key, a member that is a key itself.
      {"nothing near", state, R"({"heading":"x"})", {"title"}, ""},
      {"nearer another key", state, R"({"bodi":"x","tone":"t"})", {"title"}, ""},
      {"three edits", state, R"({"tyrtel":"x"})", {"title"}, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto error = c.decode(c.json);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, DecodingError::Kind::keyNotFound) << *error;
    EXPECT_EQ(error->codingPath, c.path) << *error;
    EXPECT_EQ(error->hint, c.hint);
  }
}

TEST(MisspeltKey, TheHintTravelsInTheErrorLineAndItsText) {
  auto decoded = decodeContentState(R"({"titel":"x"})");
  ASSERT_FALSE(decoded.ok());
  EXPECT_EQ(
      errorJson(decoded.error()),
      R"({"error":{"kind":"keyNotFound","codingPath":["title"],"description":"No value )"
      R"(associated with key \"title\".","hint":"found \"titel\"; did you mean \"title\"?"}})");
  EXPECT_EQ(errorText(decoded.error()),
            "keyNotFound at title: No value associated with key \"title\". (found \"titel\"; did "
            "you mean \"title\"?)");
}

}  // namespace
}  // namespace corvlin
