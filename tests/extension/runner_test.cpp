#include "extension/runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "model/coding.hpp"
#include "tests/views/view_test_support.hpp"
#include "toolkit/view_json.hpp"

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
      {"{}", requestError("keyNotFound", R"(The request has no \"contentState\".)")},
      {R"({"contentstate":{"title":"x"}})",
       requestError("keyNotFound", R"(The request has no \"contentState\".)")},
      {R"({"contentState":null})",
       requestError("valueNotFound", R"(The request's \"contentState\" is null.)")},
      {R"({"contentState":{"title":"x"},"now":"1767225510"})",
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

// What serve() wrote and how it ended, reading `input` `chunk` bytes at a time.
struct Served {
  std::string out;
  std::size_t writes = 0;
  Result<std::size_t, ServeFailure> result{std::size_t{0}};
};

Served serveBytes(std::string_view input, std::size_t chunk = 1 << 16) {
  Served served;
  const ReadSome read = [&](char* buffer, std::size_t size) -> Result<std::size_t, std::string> {
    const std::size_t n = std::min({size, chunk, input.size()});
    std::copy_n(input.data(), n, buffer);
    input.remove_prefix(n);
    return n;
  };
  const WriteAll write = [&](std::string_view bytes) -> Result<std::size_t, std::string> {
    ++served.writes;
    served.out += bytes;
    return bytes.size();
  };
  served.result = serve(CorvlinLiveActivityWidget{}.body(), read, write, unreadClock);
  return served;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
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
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 16}) {
      SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(chunk));
      const Served served = serveBytes(c.input, chunk);
      ASSERT_TRUE(served.result.ok()) << served.result.error().message;
      EXPECT_EQ(served.result.value(), c.starts.size());
      // Answers to lines read together go out together; each read ends at most one line
      // when it brings a single byte.
      const std::size_t expectedWrites =
          c.starts.empty() ? 0 : (chunk == 1 ? c.starts.size() : served.writes);
      EXPECT_EQ(served.writes, expectedWrites);
      if (chunk == std::size_t{1} << 16) {
        EXPECT_EQ(served.writes, c.starts.empty() ? 0u : 1u);
      }
      const auto lines = linesOf(served.out);
      ASSERT_EQ(lines.size(), c.starts.size());
      EXPECT_TRUE(served.out.empty() || served.out.back() == '\n');
      for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(c.starts[i], 0), 0u) << lines[i];
      }
    }
  }
}

TEST(Runner, AnswersAnOverlongLineWithOneErrorAndGoesOn) {
  const std::string tooLong = requestError(
      "dataCorrupted",
      ("The request line is longer than " + std::to_string(maxRequestLineBytes) + " bytes.")
          .c_str());
  // A valid request padded with spaces to exactly `length` bytes.
  const auto requestOf = [](std::size_t length) {
    std::string line = R"({"contentState":{"title":"big"},"now":1767225510})";
    line.append(length - line.size(), ' ');
    return line;
  };
  const std::string next = R"({"contentState":{"title":"next"},"now":1767225510})";
  struct Case {
    const char* name;
    std::string line;
    bool refused;
  };
  const Case cases[] = {
      {"at the bound", requestOf(maxRequestLineBytes), false},
      {"one byte over", requestOf(maxRequestLineBytes + 1), true},
      {"far over", std::string(3 * maxRequestLineBytes, 'x'), true},
  };
  for (const auto& c : cases) {
    for (const char* end : {"\n", ""}) {
      for (std::size_t chunk : {std::size_t{4093}, std::size_t{1} << 16}) {
        SCOPED_TRACE(std::string(c.name) + (*end ? "" : ", last") + ", chunks of " +
                     std::to_string(chunk));
        const std::string input = *end ? c.line + "\n" + next + "\n" : c.line;
        const Served served = serveBytes(input, chunk);
        ASSERT_TRUE(served.result.ok());
        const auto lines = linesOf(served.out);
        ASSERT_EQ(lines.size(), *end ? 2u : 1u);
        if (c.refused) {
          EXPECT_EQ(lines[0], tooLong);
        } else {
          EXPECT_EQ(lines[0].rfind(R"({"presentations":)", 0), 0u);
        }
        if (*end) {
          EXPECT_EQ(lines[1].rfind(R"({"presentations":)", 0), 0u);
        }
      }
    }
  }
}

TEST(Runner, AnswersEachRequestBeforeReadingMore) {
  const std::string request = R"({"contentState":{"title":"now"},"now":1767225510})"
                              "\n";
  std::string out;
  int reads = 0;
  const ReadSome read = [&](char* buffer, std::size_t) -> Result<std::size_t, std::string> {
    if (++reads == 1) {
      std::copy(request.begin(), request.end(), buffer);
      return request.size();
    }
    EXPECT_EQ(linesOf(out).size(), 1u) << "the request was not answered before the next read";
    return std::size_t{0};
  };
  const WriteAll write = [&](std::string_view bytes) -> Result<std::size_t, std::string> {
    out += bytes;
    return bytes.size();
  };
  const auto served = serve(CorvlinLiveActivityWidget{}.body(), read, write, unreadClock);
  ASSERT_TRUE(served.ok());
  EXPECT_EQ(reads, 2);
}

TEST(Runner, AReadOrWriteFailureIsNeverTheEndOfInput) {
  const std::string request = R"({"contentState":{"title":"a"},"now":1767225510})"
                              "\n";
  struct Case {
    const char* name;
    bool readFails;  // else the second write fails
    const char* says;
  };
  const Case cases[] = {
      {"read", true, "cannot read the requests: Input/output error"},
      {"write", false, "cannot write an answer: No space left on device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int reads = 0;
    int writes = 0;
    const ReadSome read = [&](char* buffer, std::size_t) -> Result<std::size_t, std::string> {
      if (++reads > 2 && c.readFails) return Failure{std::string("Input/output error")};
      std::copy(request.begin(), request.end(), buffer);
      return request.size();
    };
    const WriteAll write = [&](std::string_view bytes) -> Result<std::size_t, std::string> {
      if (++writes > 1 && !c.readFails) return Failure{std::string("No space left on device")};
      return bytes.size();
    };
    const auto served = serve(CorvlinLiveActivityWidget{}.body(), read, write, unreadClock);
    ASSERT_FALSE(served.ok());
    EXPECT_EQ(served.error().message, c.says);
    EXPECT_EQ(served.error().answered, c.readFails ? 2u : 1u);
  }
}

}  // namespace
}  // namespace corvlin
