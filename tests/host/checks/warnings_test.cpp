// The warnings of a payload that decodes: each kind, where it points, and what it suggests.
#include <gtest/gtest.h>
#include <simdjson.h>

#include "host/checks/content_state_warnings.hpp"
#include "host/checks/payload_warnings.hpp"
#include "host/checks/unknown_keys.hpp"
#include "model/coding.hpp"

namespace corvlin::host {
namespace {

constexpr Instant renderAt{1767225510};

std::vector<Warning> warningsOf(const std::string& json, std::optional<Instant> at = renderAt,
                                const CodingPath& prefix = {}) {
  simdjson::dom::parser parser;
  auto document = json::parse(parser, json);
  EXPECT_TRUE(document.ok()) << json;
  if (!document) return {};
  auto state = decodeContentState(document.value());
  EXPECT_TRUE(state.ok()) << json;
  if (!state) return {};
  return contentStateWarnings(document.value(), state.value(), at, prefix);
}

TEST(ContentStateWarnings, NameEachKindWithItsPathAndHint) {
  using K = Warning::Kind;
  struct Case {
    const char* name;
    std::string json;
    K kind;
    CodingPath path;
    std::string hint;
    std::string description = "";  // checked when given
  };
  // The members after a title, as one content state.
  const auto st = [](const std::string& members) { return R"({"title":"t",)" + members + "}"; };
  const std::string action = R"({"actionId":"a","label":"A"})";
  // clang-format off
  const Case cases[] = {
      {"misspelt key", st(R"("timer_end":1)"), K::unknownKey, {"timer_end"}, R"(did you mean "timerEnd"?)"},
      {"misspelt key, two edits away", st(R"("timr_end":1)"), K::unknownKey, {"timr_end"},
       R"(did you mean "timerEnd"?)"},
      {"key in the wrong case", st(R"("TIMERDIRECTION":"down")"), K::unknownKey, {"TIMERDIRECTION"},
       R"(did you mean "timerDirection"?)"},
      {"swapped letters", R"({"tilte":"x","title":"t"})", K::unknownKey, {"tilte"}, R"(did you mean "title"?)"},
      {"key like none", st(R"("colour":"red")"), K::unknownKey, {"colour"}, ""},
      {"key of an action", st(R"("actions":[)" + action + R"(,{"actionId":"b","label":"B","requireAuth":true}])"),
       K::unknownKey, {"actions", 1ul, "requireAuth"}, R"(did you mean "requiresAuth"?)"},
      {"milliseconds", st(R"("timerEnd":1767225600000,"timerDirection":"down")"), K::millisecondsInstant,
       {"timerEnd"}, "did you mean 1767225600?"},
      {"milliseconds, unused", st(R"("timerStart":1767225600500)"), K::millisecondsInstant, {"timerStart"},
       "did you mean 1767225600.5?"},
      {"countdown clamped", st(R"("timerEnd":1767400000,"timerDirection":"down")"), K::instantFarFromNow,
       {"timerEnd"}, R"(the timer will show "24:00:00" and count down from there)"},
      {"count-up clamped", st(R"("timerStart":1767000000,"timerDirection":"up")"), K::instantFarFromNow,
       {"timerStart"}, R"(the timer will show "24:00:00" and count up from there)"},
      {"countdown ended long ago", st(R"("timerEnd":1767000000,"timerDirection":"down")"), K::instantFarFromNow,
       {"timerEnd"}, R"(the timer will show "0:00")"},
      {"tone in the wrong case", st(R"("tone":"Warning")"), K::unknownKeyword, {"tone"}, R"(did you mean "warning"?)"},
      {"tone synonym", st(R"("tone":"error")"), K::unknownKeyword, {"tone"}, R"(did you mean "danger"?)"},
      {"tone unknown", st(R"("tone":"purple")"), K::unknownKeyword, {"tone"}, R"(one of "danger", "warning", "positive")"},
      {"direction synonym", st(R"("timerEnd":1767225600,"timerDirection":"countdown")"), K::unknownKeyword,
       {"timerDirection"}, R"(did you mean "down"?)"},
      {"direction with a hyphen", st(R"("timerStart":1,"timerDirection":"Count-Up")"), K::unknownKeyword,
       {"timerDirection"}, R"(did you mean "up"?)"},
      {"countdown without an end", st(R"("timerDirection":"down")"), K::timerIncomplete, {"timerDirection"},
       R"(add "timerEnd", the instant the countdown ends)"},
      {"count-up without a start", st(R"("timerDirection":"up","timerEnd":1767225600)"), K::timerIncomplete,
       {"timerDirection"}, R"(add "timerStart", the instant the count-up starts)"},
      {"end without a direction", st(R"("timerEnd":1767225600)"), K::timerIncomplete, {"timerEnd"},
       R"(add "timerDirection": "down" to count down to timerEnd)"},
      {"percent for a fraction", st(R"("progress":65)"), K::progressOutOfRange, {"progress"}, "did you mean 0.65?"},
      {"percent for a full ring", st(R"("progress":100)"), K::progressOutOfRange, {"progress"}, "did you mean 1?"},
      {"negative progress", st(R"("progress":-0.2)"), K::progressOutOfRange, {"progress"}, ""},
      {"blank id", st(R"("actions":[{"actionId":" \n","label":"A"}])"), K::actionsDropped,
       {"actions", 0ul, "actionId"}, "actions[0] will not show"},
      {"a fourth and fifth action", st(R"("actions":[)" + action + R"(,{"actionId":"","label":"-"},)" + action +
       "," + action + "," + action + "," + action + "]"), K::actionsDropped, {"actions"},
       "actions[4] and actions[5] will not show"},
      {"blank ids left out of the count", st(R"("actions":[)" + action + R"(,{"actionId":" ","label":"-"},)" +
       action + "," + action + R"(,{"actionId":"","label":"-"},)" + action + "]"), K::actionsDropped, {"actions"},
       "actions[5] will not show", "4 actions have a deep link; only the first 3 get a button."},
      {"label of white space", st(R"("actions":[{"actionId":"a","label":" \u3000"}])"), K::emptyLabel,
       {"actions", 0ul, "label"}, ""},
      {"ending at the render instant", st(R"("timerEnd":1767225510,"timerDirection":"down")"), K::alreadyEnded,
       {"timerEnd"}, ""},
      {"over budget", R"({"title":")" + std::string(4100, 'x') + "\"}", K::overBudget, {}, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto warnings = warningsOf(c.json);
    const auto found = std::find_if(warnings.begin(), warnings.end(), [&](const Warning& w) {
      return w.kind == c.kind && w.codingPath == c.path;
    });
    ASSERT_NE(found, warnings.end()) << "no " << kindName(c.kind) << " warning";
    EXPECT_EQ(found->hint, c.hint);
    EXPECT_FALSE(found->description.empty());
    if (!c.description.empty()) {
      EXPECT_EQ(found->description, c.description);
    }
  }
}

TEST(ContentStateWarnings, StayQuietForWhatThePhoneShowsAsMeant) {
  const std::string quiet[] = {
      R"({"title":"Order 42","body":"b","detail":null,"tone":"positive","progress":1,"timerEnd":1767225600,"timerDirection":"down","actions":[{"actionId":"a","label":"A","requiresAuth":false},{"actionId":"b","label":"B"},{"actionId":"c","label":"C"}]})",
      R"({"title":"t","progress":0,"timerStart":1767225000,"timerDirection":"up"})",
      R"({"title":"","tone":null,"timerDirection":null,"actions":[]})",
      // A countdown a full day ahead is still within the window.
      R"({"title":"t","timerEnd":1767311910,"timerDirection":"down"})",
  };
  for (const auto& json : quiet) {
    SCOPED_TRACE(json);
    for (const auto& w : warningsOf(json)) ADD_FAILURE() << warningJson(w);
  }
}

TEST(ContentStateWarnings, NeedARenderInstantForWhatDependsOnIt) {
  const std::string ended = R"({"title":"t","timerEnd":1000000000,"timerDirection":"down"})";
  EXPECT_TRUE(warningsOf(ended, std::nullopt).empty());
  std::vector<Warning::Kind> kinds;
  for (const auto& w : warningsOf(ended)) kinds.push_back(w.kind);
  EXPECT_EQ(kinds, (std::vector{Warning::Kind::instantFarFromNow, Warning::Kind::alreadyEnded}));
}

TEST(ContentStateWarnings, StartEveryPathWithThePrefix) {
  const CodingPath prefix{"aps", "content-state"};
  const auto warnings =
      warningsOf(R"({"title":"t","tone":"Danger","actions":[{"actionId":"a","label":"A","x":1}]})",
                 renderAt, prefix);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[0].codingPath, (CodingPath{"aps", "content-state", "actions", 0ul, "x"}));
  EXPECT_EQ(warnings[1].codingPath, (CodingPath{"aps", "content-state", "tone"}));
}

TEST(PayloadWarnings, FollowTheShapeOfThePayload) {
  struct Case {
    const char* name;
    std::string json;
    std::vector<std::vector<CodingPath>> paths;  // per activity
  };
  const Case cases[] = {
      {"content state", R"({"title":"t","x":1})", {{{"x"}}}},
      {"wrapped",
       R"({"attributes":{"kind":"k","activityId":"a","Kind":1},"contentState":{"title":"t","x":1},"contentstate":2})",
       {{{"contentstate"}, {"attributes", "Kind"}, {"contentState", "x"}}}},
      {"list with a failing entry",
       R"([{"title":"t","x":1},{"body":"no title","y":2},{"contentState":{"title":"t","z":3}}])",
       {{{0ul, "x"}}, {}, {{2ul, "contentState", "z"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto payload = decodePayload(c.json);
    ASSERT_TRUE(payload.ok());
    const auto warnings = payloadWarnings(c.json, payload.value(), renderAt);
    std::vector<std::vector<CodingPath>> paths;
    for (const auto& activity : warnings) {
      paths.emplace_back();
      for (const auto& w : activity) paths.back().push_back(w.codingPath);
    }
    EXPECT_EQ(paths, c.paths);
  }
}

TEST(NearestKey, PrefersACaseOnlyMatchThenTheFewestEdits) {
  constexpr std::string_view known[] = {"title", "timerStart", "timerEnd", "tone"};
  struct Case {
    std::string_view name;
    std::optional<std::string_view> expected;
  };
  const Case cases[] = {
      {"TITLE", "title"},        {"tonee", "tone"},           {"timerend", "timerEnd"},
      {"timer_End", "timerEnd"}, {"timerStar", "timerStart"}, {"tine", "tone"},
      {"to", std::nullopt},      {"subtitle", std::nullopt},  {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(nearestKey(c.name, known), c.expected);
  }
}

}  // namespace
}  // namespace corvlin::host
