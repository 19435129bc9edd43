// The coded (JSON) form: reading with first-failure errors and their coding paths,
// the checks on the document itself, and the error forms (the writing rules are in
// coding_writing_test.cpp).
#include "model/coding.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "json/error.hpp"
#include "json/writer.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::bits;
using testing_support::decodeOk;
using testing_support::encodeOk;
using testing_support::readSample;
using testing_support::readTestData;
using testing_support::titled;
using Kind = DecodingError::Kind;

constexpr std::size_t n0 = 0, n1 = 1, n2 = 2;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

const std::string workedExampleWritten =
    R"({"title":"Order 42 is on its way","body":"Courier is 2 km away","tone":"warning",)"
    R"("progress":0.4,"timerEnd":1767225600,"timerDirection":"down","actions":[)"
    R"({"actionId":"call","label":"Call courier"},)"
    R"({"actionId":"cancel","label":"Cancel order","requiresAuth":true}]})";

TEST(WorkedExample, RoundTripsInKeyOrderWithoutAbsentFieldsOrUnknownMembers) {
  const ContentState state = decodeOk(readSample("sample-content-state.json"));
  EXPECT_EQ(state.detail, std::nullopt);
  EXPECT_EQ((*state.actions)[0].requiresAuth, std::nullopt);
  EXPECT_EQ(encodeOk(state), workedExampleWritten);
  EXPECT_EQ(decodeOk(workedExampleWritten), state);
  std::ostringstream printed;
  printed << state;
  EXPECT_EQ(printed.str(), workedExampleWritten);
}

// ---------------------------------------------------------------------------------------------
// Reading failures: kind, coding path and description (a prefix when it ends with "..."), the
// first failure in reading order.

struct FailureCase {
  std::string json;
  std::string kind;
  CodingPath path;
  std::string description = "...";
};

void expectFailure(const FailureCase& c, const DecodingError& error) {
  EXPECT_EQ(kindName(error.kind), c.kind) << error;
  EXPECT_EQ(error.codingPath, c.path) << error;
  if (c.description.ends_with("...")) {
    EXPECT_TRUE(error.description.starts_with(c.description.substr(0, c.description.size() - 3)))
        << error.description;
  } else {
    EXPECT_EQ(error.description, c.description);
  }
}

std::string nested(std::size_t depth) {
  // An ignored member whose value nests arrays so that the document is `depth` levels deep.
  return R"({"title":"t","x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

TEST(ContentStateReading, ReportsTheFirstFailure) {
  const std::string a = R"({"actionId":"a","label":"b"})";
  std::string many = R"({"title":"a")";  // a large object: 18 members, then a repeat
  for (int i = 0; i < 18; ++i) many += ",\"m" + std::to_string(i) + "\":0";
  const std::string k = "keyNotFound", v = "valueNotFound", t = "typeMismatch", d = "dataCorrupted";
  const std::string notJson = "The given data was not valid JSON: ";
  const std::string dict = "Expected to decode Dictionary<String, Any> but found ";
  const std::string str = "Expected to decode String but found ";
  const std::string repeated = "Repeated member name ";
  // clang-format off
  std::vector<FailureCase> cases = {
      {"{}", k, {"title"}, R"(No value associated with key "title".)"},
      {R"({"Title":"x"})", k, {"title"}},
      {R"({"title":null})", v, {"title"}, "Expected String value but found null instead."},
      {R"({"progress":"x"})", k, {"title"}},
      {R"({"title":"t","actions":[{"label":"b"}]})", k, {"actions", n0, "actionId"}},
      {R"({"title":"t","actions":[)" + a + R"(,{"actionId":"x","label":null}]})", v,
       {"actions", n1, "label"}},
      {R"({"title":3})", t, {"title"}, str + "a number instead."},
      {R"({"title":true})", t, {"title"}, str + "a boolean instead."},
      {R"({"title":"t","body":[]})", t, {"body"}, str + "an array instead."},
      {R"({"title":"t","detail":{}})", t, {"detail"}, str + "a dictionary instead."},
      {R"({"title":"t","tone":1})", t, {"tone"}},
      {R"({"title":"t","progress":"0.4"})", t, {"progress"},
       "Expected to decode Double but found a string instead."},
      {R"({"title":"t","timerEnd":"soon"})", t, {"timerEnd"}},
      {R"({"title":"t","timerDirection":false})", t, {"timerDirection"}},
      {R"({"title":"t","timerEnd":"x","body":1})", t, {"body"}},
      {R"({"title":"t","actions":{}})", t, {"actions"},
       "Expected to decode Array<Any> but found a dictionary instead."},
      {R"({"title":"t","actions":[)" + a + ",3]}", t, {"actions", n1}, dict + "a number instead."},
      {R"({"title":"t","actions":[null]})", t, {"actions", n0}, dict + "null instead."},
      {R"({"title":"t","actions":[{"actionId":"a","label":"b","requiresAuth":1}]})", t,
       {"actions", n0, "requiresAuth"}, "Expected to decode Bool but found a number instead."},
      {R"({"title":"t","actions":[)" + a + "," + a + R"(,{"actionId":"a","label":7}]})", t,
       {"actions", n2, "label"}},
      {"[]", t, {}, dict + "an array instead."},
      {"null", t, {}, dict + "null instead."},
      {"\xEF\xBB\xBF{\"title\":\"t\"}", d, {}, notJson + "it begins with a byte order mark."},
      {nested(json::maxDepth + 1), d, {}, notJson + "it is nested deeper than 64 levels."},
      {R"({"title":"a","title":"b"})", d, {}, repeated + R"("title".)"},
      {R"({"title":"a","\u0074itle":"b"})", d, {}, repeated + R"("title".)"},
      {R"({"title":"a","priority":1,"priority":2})", d, {}, repeated + R"("priority".)"},
      {R"({"title":"a","x":[{"k":1,"k":2}]})", d, {}, repeated + R"("k".)"},
      {R"({"title":"a","actions":[{"actionId":"a","label":"b","label":"c"}]})", d, {}},
      {many + R"(,"m9":9})", d, {}, repeated + R"("m9".)"},
      {R"({"title":"a","":1,"":2})", d, {}, repeated + R"("".)"},
      {R"({"title":"a","abcdXwxyz":1,"abcdYwxyz":2,"abcdXwxyz":3})", d, {},
       repeated + R"("abcdXwxyz".)"},
      {R"({"x":1,"x":2})", d, {}},
  };
  const std::string notJsonInputs[] = {
      "", " \n\t", R"({"title":})", R"({"title":"t",})", R"({'title':'t'})", R"({"title":"t)",
      R"({"title":"t"} x)", std::string(R"({"title":"t"})") + '\0',
      "{\"title\":\"\xFF\"}", "{\"title\":\"t\",\"\xC3\":1}", "{\"title\":\"\xC0\xAF\"}",
      "{\"title\":\"\xED\xA0\x80\"}", R"({"title":"\ud800"})", R"({"title":"\udc00\ud800"})",
      R"({"title":"\ud800\u0041"})", "{\"title\":\"a\x01z\"}",
      R"({"title":"t","progress":-1e400})",
      R"({"title":"t","progress":1)" + std::string(400, '0') + "}", R"({"title":"t","x":[1e999]})",
      R"({"title":"t","progress":NaN})", R"({"title":"t","progress":01})",
      R"({"title":"t","progress":0)" + std::string(25, '1') + "}",
      R"({"title":"t","progress":-00})", R"({"title":"t","progress":+1})", nested(5000)};
  // clang-format on
  for (const std::string& json : notJsonInputs) cases.push_back({json, d, {}, notJson + "..."});
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.json.substr(0, 120));
    const auto result = decodeContentState(c.json);
    ASSERT_FALSE(result.ok()) << result.value();
    expectFailure(c, result.error());
  }
  // Names alike in length and in their first and last bytes are still different names.
  EXPECT_TRUE(
      decodeContentState(R"({"title":"a","abcdXwxyz":1,"abcdYwxyz":2,"ab":3,"ba":4})").ok());
}

TEST(JsonParse, SaysWhereADocumentBreaks) {
  struct Case {
    std::string json;
    std::string ending;  // the description's end: where, or only the full stop
  };
  const Case cases[] = {
      {R"({"title":"t",})", "etc, at line 1, column 14."},
      {"{\n  \"title\": \"x\",\n  \"body\": tru\n}", "'t', at line 3, column 11."},
      {R"({"title":"t"} x)", "etc, at line 1, column 15."},
      {R"({"title":"t")", "etc, at line 1, column 13."},
      {"{\"title\":\n\"\xFF\"}", "not valid UTF-8, at line 2, column 2."},
      {"{\"title\":\"\xC3\xA9\xC3\"}", "not valid UTF-8, at line 1, column 12."},
      {R"({"title":"t","progress":01})", "a double), at line 1, column 25."},
      {R"({"title":"t","x":[1,{"y":nul}]})", "'n', at line 1, column 26."},
      {R"({"title":"t)", "opened, but never closed."},
      {"", "Empty: no JSON found."},
      // Deeper than the place-finding reads, and than the parser reads: no place, no crash.
      {std::string(700, '[') + "x" + std::string(700, ']'), "keys, etc."},
      {std::string(2000, '[') + std::string(2000, ']'), "nested objects and arrays)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json.substr(0, 80));
    const auto result = decodeContentState(c.json);
    ASSERT_FALSE(result.ok());
    const std::string& description = result.error().description;
    EXPECT_TRUE(description.ends_with(c.ending)) << description;
    EXPECT_FALSE(description.ends_with("..")) << description;
  }
}

TEST(ContentStateReading, AcceptedFormsAndWhatIsWrittenBack) {
  const std::string digits(25, '9');
  const struct {
    std::string in, out;  // out empty: written back as read
  } cases[] = {
      {R"({"title":"Hello"})", R"({"title":"Hello"})"},
      {R"({"title":"t","body":null,"detail":null,"tone":null,"progress":null,"timerStart":null,)"
       R"("timerEnd":null,"timerDirection":null,"actions":null})",
       R"({"title":"t"})"},
      {R"({"title":"","body":"","tone":""})", ""},
      {R"({"title":"t","actions":[]})", ""},
      {R"({"title":"t","actions":[{"actionId":"a","label":"A","requiresAuth":null},)"
       R"({"actionId":"b","label":"B","requiresAuth":false}]})",
       R"({"title":"t","actions":[{"actionId":"a","label":"A"},)"
       R"({"actionId":"b","label":"B","requiresAuth":false}]})"},
      {R"({"title":"t","tone":"sideways","timerDirection":"sideways"})", ""},
      {R"({"title":"t","actions":[{"actionId":"x","label":"1"},{"actionId":"x","label":"2"}]})",
       ""},
      {R"({"priority":3,"title":"t","Body":"other case","extra":{"a":[1,{"b":null}]},)"
       R"("actions":[{"actionId":"a","label":"b","note":"x"}],"z":true})",
       R"({"title":"t","actions":[{"actionId":"a","label":"b"}]})"},
      // Not normalized on the way in: what was read is what is written back.
      {"{\"title\":\"e\\u0301\",\"body\":\"\xC3\xA9\"}",
       "{\"title\":\"e\xCC\x81\",\"body\":\"\xC3\xA9\"}"},
      {R"({"title":"a\u0000b"})", ""},
      {R"({"title":"\ud83d\ude00"})", "{\"title\":\"\xF0\x9F\x98\x80\"}"},
      // Member names match exactly: these two are different names.
      {R"({"title":"t","\u00e9":1,"e\u0301":2})", R"({"title":"t"})"},
      {nested(json::maxDepth), R"({"title":"t"})"},
      // Every field, read in reverse, written in key order.
      {R"({"actions":[{"requiresAuth":false,"label":"L","actionId":"id"}],"timerDirection":"up",)"
       R"("timerEnd":2,"timerStart":1.5,"progress":1,"tone":"positive","detail":"d","body":"b",)"
       R"("title":"t"})",
       R"({"title":"t","body":"b","detail":"d","tone":"positive","progress":1,"timerStart":1.5,)"
       R"("timerEnd":2,"timerDirection":"up","actions":[{"actionId":"id","label":"L","requiresAuth":false}]})"},
      // "-0" and long digit runs inside strings are text, not numbers.
      {R"({"title":"-0 )" + digits + R"(","body":"\"-0","progress":-0,"timerEnd":)" + digits + "}",
       R"({"title":"-0 )" + digits + R"(","body":"\"-0","progress":-0,"timerEnd":1e+25})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in.substr(0, 120));
    const ContentState state = decodeOk(c.in);
    const std::string out = c.out.empty() ? c.in : c.out;
    EXPECT_EQ(encodeOk(state), out);
    EXPECT_EQ(decodeOk(out), state);
  }
}

// Each literal reads as the nearest double, and written back reads as the same double again.
TEST(ContentStateReading, NumbersGiveTheDoubleAndWriteBackToIt) {
  const struct {
    std::string literal;
    double expected;
  } cases[] = {// clang-format off
      {"0.4", 0.4}, {"1767225600", 1767225600.0}, {"-3", -3.0}, {"0", 0.0}, {"-0", -0.0},
      {"-0.0", -0.0}, {"-0e5", -0.0}, {"1E+2", 100.0}, {"25e-2", 0.25}, {"1e-400", 0.0},
      {"-4.9e-324", -std::numeric_limits<double>::denorm_min()},
      {"9223372036854775807", 9223372036854775807.0},
      {"18446744073709551615", 18446744073709551615.0},
      {"18446744073709551616", 18446744073709551616.0},
      {"-9223372036854775808", -9223372036854775808.0},
      {"-9223372036854775809", -9223372036854775808.0},
      {"-9.223372036854777856e18", -9.223372036854777856e18},
      {"-9767225510767225700.5", -9767225510767225700.5},
      {"-9999999999999999999", -1e19}, {"-1234567890123456789", -1234567890123456789.0},
      {"1" + std::string(30, '0'), 1e30}, {"-1" + std::string(30, '0'), -1e30},
      {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"5e-324", std::numeric_limits<double>::denorm_min()}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.literal);
    const ContentState state = decodeOk(R"({"title":"t","progress":)" + c.literal + "}");
    ASSERT_TRUE(state.progress.has_value());
    EXPECT_EQ(bits(*state.progress), bits(c.expected)) << *state.progress;
    EXPECT_EQ(bits(decodeOk(encodeOk(state)).progress.value_or(nan)), bits(c.expected));
  }
}

// ---------------------------------------------------------------------------------------------
// The attributes and an action on its own.

TEST(AttributesCoding, RoundTripsBothMembersAndIgnoresExtras) {
  const auto attributes =
      decodeAttributes(R"({"title":"x","kind":"delivery","activityId":"A42","n":[1,2]})");
  ASSERT_TRUE(attributes.ok());
  EXPECT_EQ(*encodeAttributes(*attributes), R"({"kind":"delivery","activityId":"A42"})");
  EXPECT_EQ(*encodeAttributes({"", ""}), R"({"kind":"","activityId":""})");
  std::ostringstream printed;
  printed << *attributes;
  EXPECT_EQ(printed.str(), R"({"kind":"delivery","activityId":"A42"})");
}

TEST(AttributesCoding, ReportsTheFirstFailure) {
  const FailureCase cases[] = {
      {R"({"kind":"delivery"})", "keyNotFound", {"activityId"}},
      {R"({})", "keyNotFound", {"kind"}},
      {R"({"kind":null,"activityId":"A"})", "valueNotFound", {"kind"}},
      {R"({"kind":"k","activityId":42})", "typeMismatch", {"activityId"}},
      {R"(["kind"])", "typeMismatch", {}},
      {R"({"kind":)", "dataCorrupted", {}},
      {R"({"kind":"a","kind":"b","activityId":"A"})", "dataCorrupted", {}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.json);
    const auto result = decodeAttributes(c.json);
    ASSERT_FALSE(result.ok());
    expectFailure(c, result.error());
  }
}

TEST(ActionSpecCoding, OnItsOwn) {
  const auto action = decodeActionSpec(R"({"actionId":"a","label":"b","requiresAuth":false})");
  ASSERT_TRUE(action.ok());
  EXPECT_EQ(*action, (ActionSpec{"a", "b", false}));
  EXPECT_EQ(*encodeActionSpec(*action), R"({"actionId":"a","label":"b","requiresAuth":false})");
  const auto missing = decodeActionSpec(R"({"actionId":"a"})");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().codingPath, (CodingPath{"label"}));
}

TEST(JsonParse, ElementDecodesLikeTheTextAndOutlivesIt) {
  simdjson::dom::parser parser;
  const auto root = json::parse(parser, readSample("sample-content-state.json"));
  ASSERT_TRUE(root.ok());
  EXPECT_EQ(encodeOk(decodeContentState(root.value()).value()), workedExampleWritten);
  std::string text = R"({"kind":"k","activityId":"-0 a"})";
  const auto element = json::parse(parser, text);
  ASSERT_TRUE(element.ok());
  text.assign(text.size(), 'x');
  EXPECT_EQ(decodeAttributes(element.value())->activityId, "-0 a");
}

// ---------------------------------------------------------------------------------------------
// Error forms.

TEST(ErrorForms, PathsStreamsAndOneLineJson) {
  EXPECT_EQ(describePath({}), "<top level>");
  EXPECT_EQ(describePath({"title"}), "title");
  EXPECT_EQ(describePath({"actions", n0}), "actions[0]");
  std::ostringstream out;
  out << DecodingError{Kind::keyNotFound, {"actions", n1, "label"}, "No value."};
  EXPECT_EQ(out.str(), "keyNotFound at actions[1].label: No value.");
  const std::string line = errorJson(DecodingError{Kind::typeMismatch, {"a\nb", n0}, "x\"\ny"});
  EXPECT_EQ(line, R"({"error":{"kind":"typeMismatch","codingPath":["a\nb",0],)"
                  R"("description":"x\"\ny"}})");
}

}  // namespace
}  // namespace corvlin
