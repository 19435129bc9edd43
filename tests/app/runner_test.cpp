#include "app/runner.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "model/coding.hpp"
#include "tests/views/view_test_support.hpp"
#include "views/toolkit/view_json.hpp"

namespace corvlin {
namespace {

using test::T0;

// A real clock that must not be read.
Instant unreadClock() {
  ADD_FAILURE() << "the real clock was read";
  return T0;
}

std::string requestError(const char* kind, const char* description) {
  return std::string(R"({"error":{"kind":")") + kind + R"(","codingPath":[],"description":")" +
         description + R"(","request":true}})";
}

TEST(Runner, AnswersRequestFaultsAsRequestErrors) {
  struct Case {
    const char* line;
    std::string expected;
  };
  const Case cases[] = {
      {"", requestError("dataCorrupted", "The request line is empty.")},
      {" \t\r", requestError("dataCorrupted", "The request line is empty.")},
      {"[1,2]", requestError("typeMismatch", "The request is not a JSON object.")},
      {R"("contentState")", requestError("typeMismatch", "The request is not a JSON object.")},
      {"{}", requestError("keyNotFound", R"(The request has no \"contentState\".)")},
      {R"({"contentstate":{"title":"x"}})",
       requestError("keyNotFound", R"(The request has no \"contentState\".)")},
      {R"({"contentState":null})",
       requestError("valueNotFound", R"(The request's \"contentState\" is null.)")},
      {R"({"contentState":{"title":"x"},"now":"1767225510"})",
       requestError("typeMismatch", R"(\"now\" is not a number of seconds since 1970.)")},
      {R"({"contentState":{"title":"x"},"now":true})",
       requestError("typeMismatch", R"(\"now\" is not a number of seconds since 1970.)")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(answer(c.line, unreadClock), c.expected);
  }
}

TEST(Runner, MarksUnparsableLinesAsRequestFaults) {
  const char* lines[] = {"nope", "{", R"({"contentState":{"title":"x"}} trailing)",
                         "{\"contentState\":{\"title\":\"\xff\"}}"};
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    simdjson::dom::parser parser;
    auto parsed = json::parse(parser, line);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(answer(line, unreadClock), requestErrorJson(parsed.error()));
  }
}

TEST(Runner, PassesDecodingErrorsUpUnchanged) {
  const auto stateError = [](const char* json) {
    return errorJson(decodeContentState(std::string_view(json)).error());
  };
  const auto attributesError = [](const char* json) {
    return errorJson(decodeAttributes(std::string_view(json)).error());
  };
  struct Case {
    const char* contentState;
    const char* attributes;  // null: no attributes member
    std::string expected;
    const char* path;  // the coding path expected in the answer
  };
  const char* good = R"({"title":"x"})";
  const char* twoActions =
      R"({"title":"x","actions":[{"actionId":"a","label":"A"},{"actionId":"b"}]})";
  const Case cases[] = {
      {"{}", nullptr, stateError("{}"), R"(["title"])"},
      {R"("title")", nullptr, stateError(R"("title")"), "[]"},
      {R"({"title":null})", nullptr, stateError(R"({"title":null})"), R"(["title"])"},
      {twoActions, nullptr, stateError(twoActions), R"(["actions",1,"label"])"},
      {twoActions, R"({"kind":"k"})", stateError(twoActions), R"(["actions",1,"label"])"},
      {good, R"({"kind":"delivery"})", attributesError(R"({"kind":"delivery"})"),
       R"(["activityId"])"},
      {good, "[]", attributesError("[]"), "[]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.contentState);
    std::string line = std::string(R"({"contentState":)") + c.contentState;
    if (c.attributes) line += std::string(R"(,"attributes":)") + c.attributes;
    line += R"(,"now":1767225510})";
    const std::string got = answer(line, unreadClock);
    EXPECT_EQ(got, c.expected);
    EXPECT_NE(got.find(std::string(R"("codingPath":)") + c.path), std::string::npos) << got;
    EXPECT_EQ(got.find("\"request\""), std::string::npos);
  }
}

TEST(Runner, PinnedNowOverridesTheRealClock) {
  const std::string state =
      R"({"title":"x","timerEnd":1767225600,"timerDirection":"down","actions":[{"actionId":"a","label":"A"}]})";
  const auto expectedAt = [&](Instant now) {
    ActivityViewContext context{{}, decodeContentState(std::string_view(state)).value()};
    return R"({"presentations":)" +
           ui::toJson(presentations(CorvlinLiveActivityWidget{}.body(), context, fixedNow(now))) +
           "}";
  };
  struct Case {
    const char* name;
    std::string nowMember;
    Now realNow;
    Instant seen;
  };
  const Instant later{1767225700};
  const Case cases[] = {
      {"pinned", R"(,"now":1767225510)", unreadClock, T0},
      {"pinned past the end", R"(,"now":1767225700.0)", unreadClock, later},
      {"real clock", "", fixedNow(later), later},
      {"null is no pin", R"(,"now":null)", fixedNow(T0), T0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = R"({"contentState":)" + state + c.nowMember + "}";
    EXPECT_EQ(answer(line, c.realNow), expectedAt(c.seen));
  }
  EXPECT_NE(expectedAt(T0), expectedAt(later));
}

TEST(Runner, ServesOneAnswerLinePerRequestLine) {
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> starts;  // how each answer line begins
  };
  const std::string ok = R"({"contentState":{"title":"two\nlines"},"now":1767225510})";
  const Case cases[] = {
      {"no input", "", {}},
      {"one request", ok + "\n", {R"({"presentations":)"}},
      {"last line without break", ok, {R"({"presentations":)"}},
      {"garbage, blank and good",
       "garbage\n\n" + ok + "\r\n{}\n",
       {R"({"error":{"kind":"dataCorrupted")", R"({"error":{"kind":"dataCorrupted")",
        R"({"presentations":)", R"({"error":{"kind":"keyNotFound")"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.input);
    std::ostringstream out;
    serve(CorvlinLiveActivityWidget{}.body(), in, out, unreadClock);
    std::istringstream answers(out.str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(answers, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), c.starts.size());
    EXPECT_TRUE(out.str().empty() || out.str().back() == '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].rfind(c.starts[i], 0), 0u) << lines[i];
    }
  }
}

}  // namespace
}  // namespace corvlin
