// The coded (JSON) form: reading with first-failure errors and their coding paths,
// the checks on the document itself, and the writing rules.
#include "model/coding.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/coding_error.hpp"
#include "model/json_writer.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::CaseName;
using testing_support::readTestData;
using testing_support::titled;
using Kind = DecodingError::Kind;

const std::string workedExampleWritten =
    R"({"title":"Order 42 is on its way","body":"Courier is 2 km away","tone":"warning",)"
    R"("progress":0.4,"timerEnd":1767225600,"timerDirection":"down","actions":[)"
    R"({"actionId":"call","label":"Call courier"},)"
    R"({"actionId":"cancel","label":"Cancel order","requiresAuth":true}]})";

ContentState decodeOk(std::string_view json) {
  auto result = decodeContentState(json);
  EXPECT_TRUE(result.ok()) << json << " -> " << (result.ok() ? DecodingError{} : result.error());
  return result.ok() ? result.value() : ContentState{};
}

std::string encodeOk(const ContentState& state) {
  auto result = encodeContentState(state);
  EXPECT_TRUE(result.ok()) << (result.ok() ? EncodingError{} : result.error());
  return result.ok() ? result.value() : std::string();
}

// ---------------------------------------------------------------------------------------------
// The worked example.

TEST(WorkedExample, ReadsAsTheDocumentSays) {
  const ContentState state = decodeOk(readTestData("sample-content-state.json"));
  EXPECT_EQ(state.title, "Order 42 is on its way");
  EXPECT_EQ(state.body, "Courier is 2 km away");
  EXPECT_EQ(state.detail, std::nullopt);
  EXPECT_EQ(state.tone, "warning");
  EXPECT_EQ(state.progress, 0.4);
  EXPECT_EQ(state.timerStart, std::nullopt);
  EXPECT_EQ(state.timerEnd, 1767225600.0);
  EXPECT_EQ(state.timerDirection, "down");
  ASSERT_TRUE(state.actions.has_value());
  ASSERT_EQ(state.actions->size(), 2u);
  EXPECT_EQ((*state.actions)[0].actionId, "call");
  EXPECT_EQ((*state.actions)[0].label, "Call courier");
  EXPECT_EQ((*state.actions)[0].requiresAuth, std::nullopt);
  EXPECT_EQ((*state.actions)[1].actionId, "cancel");
  EXPECT_EQ((*state.actions)[1].label, "Cancel order");
  EXPECT_EQ((*state.actions)[1].requiresAuth, true);
}

TEST(WorkedExample, WritesBackInKeyOrderWithoutAbsentFieldsOrUnknownMembers) {
  const ContentState state = decodeOk(readTestData("sample-content-state.json"));
  const std::string written = encodeOk(state);
  EXPECT_EQ(written, workedExampleWritten);
  EXPECT_EQ(decodeOk(written), state);
  EXPECT_EQ(encodeOk(decodeOk(written)), written);
}

TEST(WorkedExample, SecondElementWithoutLabelFailsAsAWhole) {
  std::string json = readTestData("sample-content-state.json");
  const std::string label = R"("label": "Cancel order",)";
  const auto at = json.find(label);
  ASSERT_NE(at, std::string::npos);
  json.erase(at, label.size());
  const auto result = decodeContentState(json);
  ASSERT_FALSE(result.ok());
  const DecodingError& error = result.error();
  EXPECT_EQ(error.kind, Kind::keyNotFound);
  EXPECT_EQ(error.codingPath, (CodingPath{"actions", std::size_t{1}, "label"}));
  EXPECT_EQ(error.description, R"(No value associated with key "label".)");
  EXPECT_EQ(describePath(error.codingPath), "actions[1].label");
  EXPECT_EQ(errorJson(error),
            R"({"error":{"kind":"keyNotFound","codingPath":["actions",1,"label"],)"
            R"("description":"No value associated with key \"label\"."}})");
}

// ---------------------------------------------------------------------------------------------
// Reading failures: kind, coding path and description, first failure in reading order.

struct FailureCase {
  std::string name;
  std::string json;
  Kind kind;
  CodingPath path;
  std::string description;  // exact, or a prefix when it ends with "..."
};

void expectFailure(const FailureCase& c, const Result<ContentState, DecodingError>& result) {
  ASSERT_FALSE(result.ok()) << c.json << " read as " << result.value();
  const DecodingError& error = result.error();
  EXPECT_EQ(kindName(error.kind), kindName(c.kind)) << error;
  EXPECT_EQ(error.codingPath, c.path) << error;
  if (c.description.ends_with("...")) {
    const std::string prefix = c.description.substr(0, c.description.size() - 3);
    EXPECT_TRUE(error.description.starts_with(prefix)) << error.description;
  } else {
    EXPECT_EQ(error.description, c.description);
  }
}

class ContentStateReadFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ContentStateReadFailure, ReportsTheFirstFailure) {
  expectFailure(GetParam(), decodeContentState(GetParam().json));
}

const std::string anAction = R"({"actionId":"a","label":"b"})";

INSTANTIATE_TEST_SUITE_P(
    MissingOrNull, ContentStateReadFailure,
    testing::Values(FailureCase{"EmptyObject",
                                "{}",
                                Kind::keyNotFound,
                                {"title"},
                                R"(No value associated with key "title".)"},
                    FailureCase{"OtherCaseTitle",
                                R"({"Title":"x"})",
                                Kind::keyNotFound,
                                {"title"},
                                R"(No value associated with key "title".)"},
                    FailureCase{
                        "TitleWithSpace", R"({"title ":"x"})", Kind::keyNotFound, {"title"}, "..."},
                    FailureCase{"TitleNull",
                                R"({"title":null})",
                                Kind::valueNotFound,
                                {"title"},
                                "Expected String value but found null instead."},
                    FailureCase{"TitleMissingBeatsLaterMismatch",
                                R"({"progress":"x"})",
                                Kind::keyNotFound,
                                {"title"},
                                "..."},
                    FailureCase{"ActionIdMissing",
                                R"({"title":"t","actions":[{"label":"b"}]})",
                                Kind::keyNotFound,
                                {"actions", std::size_t{0}, "actionId"},
                                R"(No value associated with key "actionId".)"},
                    FailureCase{"LabelNull",
                                R"({"title":"t","actions":[)" + anAction +
                                    R"(,{"actionId":"x","label":null}]})",
                                Kind::valueNotFound,
                                {"actions", std::size_t{1}, "label"},
                                "Expected String value but found null instead."},
                    FailureCase{"ActionIdMissingBeatsLabelMismatch",
                                R"({"title":"t","actions":[{"label":3}]})",
                                Kind::keyNotFound,
                                {"actions", std::size_t{0}, "actionId"},
                                "..."}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(
    TypeMismatch, ContentStateReadFailure,
    testing::Values(
        FailureCase{"TitleNumber",
                    R"({"title":3})",
                    Kind::typeMismatch,
                    {"title"},
                    "Expected to decode String but found a number instead."},
        FailureCase{"TitleBoolean",
                    R"({"title":true})",
                    Kind::typeMismatch,
                    {"title"},
                    "Expected to decode String but found a boolean instead."},
        FailureCase{"BodyArray",
                    R"({"title":"t","body":[]})",
                    Kind::typeMismatch,
                    {"body"},
                    "Expected to decode String but found an array instead."},
        FailureCase{"DetailObject",
                    R"({"title":"t","detail":{}})",
                    Kind::typeMismatch,
                    {"detail"},
                    "Expected to decode String but found a dictionary instead."},
        FailureCase{"ToneNumber", R"({"title":"t","tone":1})", Kind::typeMismatch, {"tone"}, "..."},
        FailureCase{"ProgressString",
                    R"({"title":"t","progress":"0.4"})",
                    Kind::typeMismatch,
                    {"progress"},
                    "Expected to decode Double but found a string instead."},
        FailureCase{"ProgressBoolean",
                    R"({"title":"t","progress":true})",
                    Kind::typeMismatch,
                    {"progress"},
                    "Expected to decode Double but found a boolean instead."},
        FailureCase{"TimerStartArray",
                    R"({"title":"t","timerStart":[1]})",
                    Kind::typeMismatch,
                    {"timerStart"},
                    "..."},
        FailureCase{"TimerEndString",
                    R"({"title":"t","timerEnd":"soon"})",
                    Kind::typeMismatch,
                    {"timerEnd"},
                    "..."},
        FailureCase{"TimerDirectionBoolean",
                    R"({"title":"t","timerDirection":false})",
                    Kind::typeMismatch,
                    {"timerDirection"},
                    "..."},
        FailureCase{"EarlierFieldWins",
                    R"({"title":"t","timerEnd":"x","body":1})",
                    Kind::typeMismatch,
                    {"body"},
                    "..."},
        FailureCase{"ActionsObject",
                    R"({"title":"t","actions":{}})",
                    Kind::typeMismatch,
                    {"actions"},
                    "Expected to decode Array<Any> but found a dictionary instead."},
        FailureCase{"ActionsString",
                    R"({"title":"t","actions":"call"})",
                    Kind::typeMismatch,
                    {"actions"},
                    "Expected to decode Array<Any> but found a string instead."},
        FailureCase{"ElementNumber",
                    R"({"title":"t","actions":[)" + anAction + ",3]}",
                    Kind::typeMismatch,
                    {"actions", std::size_t{1}},
                    "Expected to decode Dictionary<String, Any> but found a number instead."},
        FailureCase{"ElementArray",
                    R"({"title":"t","actions":[[]]})",
                    Kind::typeMismatch,
                    {"actions", std::size_t{0}},
                    "..."},
        FailureCase{"ElementNull",
                    R"({"title":"t","actions":[null]})",
                    Kind::typeMismatch,
                    {"actions", std::size_t{0}},
                    "Expected to decode Dictionary<String, Any> but found null instead."},
        FailureCase{"RequiresAuthNumber",
                    R"({"title":"t","actions":[{"actionId":"a","label":"b","requiresAuth":1}]})",
                    Kind::typeMismatch,
                    {"actions", std::size_t{0}, "requiresAuth"},
                    "Expected to decode Bool but found a number instead."},
        FailureCase{
            "RequiresAuthString",
            R"({"title":"t","actions":[{"actionId":"a","label":"b","requiresAuth":"true"}]})",
            Kind::typeMismatch,
            {"actions", std::size_t{0}, "requiresAuth"},
            "..."},
        FailureCase{"LabelNumberInThirdElement",
                    R"({"title":"t","actions":[)" + anAction + "," + anAction +
                        R"(,{"actionId":"a","label":7}]})",
                    Kind::typeMismatch,
                    {"actions", std::size_t{2}, "label"},
                    "..."},
        FailureCase{"TopLevelArray",
                    "[]",
                    Kind::typeMismatch,
                    {},
                    "Expected to decode Dictionary<String, Any> but found an array instead."},
        FailureCase{"TopLevelString", R"("title")", Kind::typeMismatch, {}, "..."},
        FailureCase{"TopLevelNumber", "42", Kind::typeMismatch, {}, "..."},
        FailureCase{"TopLevelBoolean", "true", Kind::typeMismatch, {}, "..."},
        FailureCase{"TopLevelNull",
                    "null",
                    Kind::typeMismatch,
                    {},
                    "Expected to decode Dictionary<String, Any> but found null instead."}),
    CaseName{});

std::string nested(std::size_t depth) {
  // An ignored member whose value nests arrays so that the document is `depth` levels deep.
  return R"({"title":"t","x":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

const std::string notJson = "The given data was not valid JSON: ...";

INSTANTIATE_TEST_SUITE_P(
    DataCorrupted, ContentStateReadFailure,
    testing::Values(
        FailureCase{"Empty", "", Kind::dataCorrupted, {}, notJson},
        FailureCase{"OnlyWhitespace", " \n\t", Kind::dataCorrupted, {}, notJson},
        FailureCase{"MissingValue", R"({"title":})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"TrailingComma", R"({"title":"t",})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"SingleQuotes", R"({'title':'t'})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"Unterminated", R"({"title":"t)", Kind::dataCorrupted, {}, notJson},
        FailureCase{"TrailingContent", R"({"title":"t"} x)", Kind::dataCorrupted, {}, notJson},
        FailureCase{"TwoDocuments", R"({"title":"t"}{})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"TrailingNulByte",
                    std::string(R"({"title":"t"})") + '\0',
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"ByteOrderMark",
                    "\xEF\xBB\xBF{\"title\":\"t\"}",
                    Kind::dataCorrupted,
                    {},
                    "The given data was not valid JSON: it begins with a byte order mark."},
        FailureCase{"InvalidUtf8InValue", "{\"title\":\"\xFF\"}", Kind::dataCorrupted, {}, notJson},
        FailureCase{"InvalidUtf8InIgnoredName",
                    "{\"title\":\"t\",\"\xC3\":1}",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"OverlongUtf8", "{\"title\":\"\xC0\xAF\"}", Kind::dataCorrupted, {}, notJson},
        FailureCase{
            "EncodedSurrogate", "{\"title\":\"\xED\xA0\x80\"}", Kind::dataCorrupted, {}, notJson},
        FailureCase{
            "LoneHighSurrogateEscape", R"({"title":"\ud800"})", Kind::dataCorrupted, {}, notJson},
        FailureCase{
            "LoneLowSurrogateEscape", R"({"title":"\udc00"})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"ReversedSurrogateEscapes",
                    R"({"title":"\udc00\ud800"})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"HighSurrogateThenLetter",
                    R"({"title":"\ud800\u0041"})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{
            "RawControlCharacter", "{\"title\":\"a\x01z\"}", Kind::dataCorrupted, {}, notJson},
        FailureCase{"NumberBeyondDouble",
                    R"({"title":"t","progress":1e400})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"NegativeNumberBeyondDouble",
                    R"({"title":"t","progress":-1e400})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"IntegerDigitsBeyondDouble",
                    R"({"title":"t","progress":1)" + std::string(400, '0') + "}",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"NumberBeyondDoubleInIgnoredMember",
                    R"({"title":"t","x":[1e999]})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{
            "NaNLiteral", R"({"title":"t","progress":NaN})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"InfinityLiteral",
                    R"({"title":"t","progress":Infinity})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{
            "LeadingZero", R"({"title":"t","progress":01})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"LeadingZeroLongInteger",
                    R"({"title":"t","progress":0)" + std::string(25, '1') + "}",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{"NegativeZeroLeadingZero",
                    R"({"title":"t","progress":-00})",
                    Kind::dataCorrupted,
                    {},
                    notJson},
        FailureCase{
            "LeadingPlus", R"({"title":"t","progress":+1})", Kind::dataCorrupted, {}, notJson},
        FailureCase{
            "HexNumber", R"({"title":"t","progress":0x10})", Kind::dataCorrupted, {}, notJson},
        FailureCase{"NestedTooDeep",
                    nested(json::maxDepth + 1),
                    Kind::dataCorrupted,
                    {},
                    "The given data was not valid JSON: it is nested deeper than 64 levels."},
        FailureCase{"NestedFarTooDeep", nested(5000), Kind::dataCorrupted, {}, notJson},
        FailureCase{"RepeatedTitle",
                    R"({"title":"a","title":"b"})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "title".)"},
        FailureCase{"RepeatedTitleThroughEscape",
                    R"({"title":"a","\u0074itle":"b"})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "title".)"},
        FailureCase{"RepeatedIgnoredMember",
                    R"({"title":"a","priority":1,"priority":2})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "priority".)"},
        FailureCase{"RepeatedNameInsideIgnoredValue",
                    R"({"title":"a","x":[{"k":1,"k":2}]})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "k".)"},
        FailureCase{"RepeatedNameInAction",
                    R"({"title":"a","actions":[{"actionId":"a","label":"b","label":"c"}]})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "label".)"},
        FailureCase{"RepeatedNameInLargeObject",
                    R"({"title":"a","m0":0,"m1":1,"m2":2,"m3":3,"m4":4,"m5":5,"m6":6,"m7":7,)"
                    R"("m8":8,"m9":9,"m10":10,"m11":11,"m12":12,"m13":13,"m14":14,"m15":15,)"
                    R"("m16":16,"m17":17,"m9":9})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "m9".)"},
        FailureCase{"RepeatedEmptyName",
                    R"({"title":"a","":1,"":2})",
                    Kind::dataCorrupted,
                    {},
                    R"(Repeated member name "".)"},
        FailureCase{
            "CorruptionBeatsMissingTitle", R"({"x":1,"x":2})", Kind::dataCorrupted, {}, "..."}),
    CaseName{});

TEST(ContentStateReading, CanonicallyEquivalentNamesAreNotRepeats) {
  // Member names are matched exactly; "e\u0301" and "\u00e9" are two names.
  const auto result = decodeContentState(R"({"title":"t","\u00e9":1,"e\u0301":2})");
  EXPECT_TRUE(result.ok());
}

TEST(ContentStateReading, NestingOfExactlyMaxDepthIsAccepted) {
  EXPECT_TRUE(decodeContentState(nested(json::maxDepth)).ok());
}

// ---------------------------------------------------------------------------------------------
// Reading what is accepted.

TEST(ContentStateReading, OnlyTitleGivesEveryOptionalAbsentAndWritesOnlyTitle) {
  const ContentState state = decodeOk(R"({"title":"Hello"})");
  EXPECT_EQ(state.title, "Hello");
  EXPECT_FALSE(state.body || state.detail || state.tone || state.progress || state.timerStart ||
               state.timerEnd || state.timerDirection || state.actions);
  EXPECT_EQ(encodeOk(state), R"({"title":"Hello"})");
}

TEST(ContentStateReading, NullOptionalsAreAbsentAndNotWrittenBack) {
  const ContentState state = decodeOk(
      R"({"title":"t","body":null,"detail":null,"tone":null,"progress":null,"timerStart":null,)"
      R"("timerEnd":null,"timerDirection":null,"actions":null})");
  EXPECT_EQ(state, titled("t"));
  EXPECT_FALSE(state.actions.has_value());
  EXPECT_EQ(encodeOk(state), R"({"title":"t"})");
}

TEST(ContentStateReading, EmptyStringsArePresent) {
  const ContentState state = decodeOk(R"({"title":"","body":"","tone":""})");
  EXPECT_EQ(state.title, "");
  EXPECT_EQ(state.body, "");
  EXPECT_EQ(state.tone, "");
  EXPECT_EQ(encodeOk(state), R"({"title":"","body":"","tone":""})");
}

TEST(ContentStateReading, EmptyActionsArrayIsAPresentEmptyList) {
  const ContentState state = decodeOk(R"({"title":"t","actions":[]})");
  ASSERT_TRUE(state.actions.has_value());
  EXPECT_TRUE(state.actions->empty());
  EXPECT_EQ(encodeOk(state), R"({"title":"t","actions":[]})");
}

TEST(ContentStateReading, RequiresAuthNullIsAbsentAndFalseStaysFalse) {
  const ContentState state =
      decodeOk(R"({"title":"t","actions":[{"actionId":"a","label":"A","requiresAuth":null},)"
               R"({"actionId":"b","label":"B","requiresAuth":false}]})");
  ASSERT_EQ(state.actions->size(), 2u);
  EXPECT_EQ((*state.actions)[0].requiresAuth, std::nullopt);
  EXPECT_EQ((*state.actions)[1].requiresAuth, false);
  EXPECT_EQ(encodeOk(state), R"({"title":"t","actions":[{"actionId":"a","label":"A"},)"
                             R"({"actionId":"b","label":"B","requiresAuth":false}]})");
}

TEST(ContentStateReading, UnrecognisedKeywordsAreHeldAsTheyArrive) {
  const ContentState state =
      decodeOk(R"({"title":"t","tone":"sideways","timerDirection":"sideways"})");
  EXPECT_EQ(state.tone, "sideways");
  EXPECT_EQ(state.timerDirection, "sideways");
}

TEST(ContentStateReading, RepeatedActionIdsAreAllKept) {
  const ContentState state = decodeOk(
      R"({"title":"t","actions":[{"actionId":"x","label":"1"},{"actionId":"x","label":"2"},)"
      R"({"actionId":"x","label":"3"}]})");
  ASSERT_EQ(state.actions->size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ((*state.actions)[i].actionId, "x");
    EXPECT_EQ((*state.actions)[i].label, std::to_string(i + 1));
  }
}

TEST(ContentStateReading, UnknownMembersOfAnyKindAreIgnored) {
  const ContentState state =
      decodeOk(R"({"priority":3,"title":"t","Body":"other case","extra":{"a":[1,{"b":null}]},)"
               R"("actions":[{"actionId":"a","label":"b","note":"x"}],"z":true})");
  EXPECT_EQ(state.body, std::nullopt);
  EXPECT_EQ(encodeOk(state), R"({"title":"t","actions":[{"actionId":"a","label":"b"}]})");
}

TEST(ContentStateReading, StringsAreKeptByteForByte) {
  // Not normalized on the way in: what was read is what is written back.
  const ContentState state = decodeOk("{\"title\":\"e\\u0301\",\"body\":\"\xC3\xA9\"}");
  EXPECT_EQ(state.title, "e\xCC\x81");
  EXPECT_EQ(state.body, "\xC3\xA9");
  EXPECT_EQ(encodeOk(state), "{\"title\":\"e\xCC\x81\",\"body\":\"\xC3\xA9\"}");
}

TEST(ContentStateReading, EscapedNulStaysInTheString) {
  const ContentState state = decodeOk(R"({"title":"a\u0000b"})");
  EXPECT_EQ(state.title, std::string("a\0b", 3));
  EXPECT_EQ(encodeOk(state), R"({"title":"a\u0000b"})");
}

TEST(ContentStateReading, SurrogatePairEscapeBecomesOneCharacter) {
  const ContentState state = decodeOk(R"({"title":"\ud83d\ude00"})");
  EXPECT_EQ(state.title, "\xF0\x9F\x98\x80");
}

struct NumberCase {
  std::string name;
  std::string literal;
  double expected;
};

class NumberReading : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberReading, GivesTheDouble) {
  const NumberCase& c = GetParam();
  const ContentState state = decodeOk(R"({"title":"t","progress":)" + c.literal + "}");
  ASSERT_TRUE(state.progress.has_value());
  EXPECT_EQ(std::bit_cast<std::uint64_t>(*state.progress), std::bit_cast<std::uint64_t>(c.expected))
      << *state.progress;
}

INSTANTIATE_TEST_SUITE_P(
    Literals, NumberReading,
    testing::Values(
        NumberCase{"Fraction", "0.4", 0.4}, NumberCase{"Integer", "1767225600", 1767225600.0},
        NumberCase{"NegativeInteger", "-3", -3.0}, NumberCase{"Zero", "0", 0.0},
        NumberCase{"NegativeZero", "-0", -0.0}, NumberCase{"NegativeZeroFraction", "-0.0", -0.0},
        NumberCase{"NegativeZeroExponent", "-0e5", -0.0}, NumberCase{"Exponent", "1e2", 100.0},
        NumberCase{"UpperExponentWithSign", "1E+2", 100.0},
        NumberCase{"NegativeExponent", "25e-2", 0.25},
        NumberCase{"LargestUint64", "18446744073709551615", 18446744073709551615.0},
        NumberCase{"IntegerBeyond64Bits", "1" + std::string(30, '0'), 1e30},
        NumberCase{"NegativeIntegerBeyond64Bits", "-1" + std::string(30, '0'), -1e30},
        NumberCase{"IntegerJustBeyondUint64", "18446744073709551616", 18446744073709551616.0},
        NumberCase{"LargestDouble", "1.7976931348623157e308", std::numeric_limits<double>::max()},
        NumberCase{"SmallestSubnormal", "5e-324", std::numeric_limits<double>::denorm_min()},
        NumberCase{"UnderflowBecomesZero", "1e-400", 0.0}),
    CaseName{});

TEST(ContentStateReading, IntegerRewritingLeavesStringsAlone) {
  // "-0" and long digit runs inside strings are text, not numbers.
  const std::string digits(25, '9');
  const ContentState state =
      decodeOk(R"({"title":"2026-01-01 -0 )" + digits +
               R"(","body":"\"-0","progress":-0,"timerEnd":)" + digits + "}");
  EXPECT_EQ(state.title, "2026-01-01 -0 " + digits);
  EXPECT_EQ(state.body, "\"-0");
  EXPECT_TRUE(std::signbit(*state.progress));
  EXPECT_EQ(state.timerEnd, 1e25);
}

// ---------------------------------------------------------------------------------------------
// The attributes.

TEST(AttributesCoding, RoundTripsWithBothMembersAlwaysWritten) {
  const auto attributes = decodeAttributes(R"({"kind":"delivery","activityId":"A42"})");
  ASSERT_TRUE(attributes.ok());
  EXPECT_EQ(attributes->kind, "delivery");
  EXPECT_EQ(attributes->activityId, "A42");
  const auto written = encodeAttributes(*attributes);
  ASSERT_TRUE(written.ok());
  EXPECT_EQ(*written, R"({"kind":"delivery","activityId":"A42"})");
  EXPECT_EQ(*encodeAttributes({"", ""}), R"({"kind":"","activityId":""})");
}

TEST(AttributesCoding, ExtraMembersAreIgnored) {
  const auto attributes =
      decodeAttributes(R"({"title":"x","kind":"delivery","activityId":"A42","n":[1,2]})");
  ASSERT_TRUE(attributes.ok());
  EXPECT_EQ(*encodeAttributes(*attributes), R"({"kind":"delivery","activityId":"A42"})");
}

struct AttributesFailureCase {
  std::string name;
  std::string json;
  Kind kind;
  CodingPath path;
};

class AttributesReadFailure : public testing::TestWithParam<AttributesFailureCase> {};

TEST_P(AttributesReadFailure, ReportsTheFirstFailure) {
  const auto& c = GetParam();
  const auto result = decodeAttributes(c.json);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(kindName(result.error().kind), kindName(c.kind)) << result.error();
  EXPECT_EQ(result.error().codingPath, c.path) << result.error();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AttributesReadFailure,
    testing::Values(
        AttributesFailureCase{
            "LacksActivityId", R"({"kind":"delivery"})", Kind::keyNotFound, {"activityId"}},
        AttributesFailureCase{"LacksBoth", R"({})", Kind::keyNotFound, {"kind"}},
        AttributesFailureCase{
            "KindNull", R"({"kind":null,"activityId":"A"})", Kind::valueNotFound, {"kind"}},
        AttributesFailureCase{"ActivityIdNumber",
                              R"({"kind":"k","activityId":42})",
                              Kind::typeMismatch,
                              {"activityId"}},
        AttributesFailureCase{"NotAnObject", R"(["kind"])", Kind::typeMismatch, {}},
        AttributesFailureCase{"NotJson", R"({"kind":)", Kind::dataCorrupted, {}},
        AttributesFailureCase{"RepeatedKind",
                              R"({"kind":"a","kind":"b","activityId":"A"})",
                              Kind::dataCorrupted,
                              {}}),
    CaseName{});

// ---------------------------------------------------------------------------------------------
// Writing.

TEST(ContentStateWriting, EveryFieldInKeyOrder) {
  ContentState state;
  state.actions = std::vector<ActionSpec>{{"id", "Label", false}};
  state.timerDirection = "up";
  state.timerEnd = 2;
  state.timerStart = 1.5;
  state.progress = 1;
  state.tone = "positive";
  state.detail = "d";
  state.body = "b";
  state.title = "t";
  EXPECT_EQ(encodeOk(state),
            R"({"title":"t","body":"b","detail":"d","tone":"positive","progress":1,)"
            R"("timerStart":1.5,"timerEnd":2,"timerDirection":"up",)"
            R"("actions":[{"actionId":"id","label":"Label","requiresAuth":false}]})");
}

struct DoubleCase {
  std::string name;
  double value;
  std::string written;
};

class DoubleWriting : public testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleWriting, ShortestRoundTripForm) {
  const DoubleCase& c = GetParam();
  ContentState state = titled("t");
  state.progress = c.value;
  const std::string written = encodeOk(state);
  EXPECT_EQ(written, R"({"title":"t","progress":)" + c.written + "}");
  const ContentState back = decodeOk(written);
  ASSERT_TRUE(back.progress.has_value());
  EXPECT_EQ(std::bit_cast<std::uint64_t>(*back.progress), std::bit_cast<std::uint64_t>(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DoubleWriting,
    testing::Values(
        DoubleCase{"Fraction", 0.4, "0.4"}, DoubleCase{"Instant", 1767225600.0, "1767225600"},
        DoubleCase{"InstantWithFraction", 1767225600.25, "1767225600.25"},
        DoubleCase{"Zero", 0.0, "0"}, DoubleCase{"NegativeZero", -0.0, "-0"},
        DoubleCase{"One", 1.0, "1"}, DoubleCase{"Negative", -1.5, "-1.5"},
        DoubleCase{"Third", 1.0 / 3.0, "0.3333333333333333"}, DoubleCase{"Large", 1e30, "1e+30"},
        DoubleCase{"Small", 1e-7, "1e-07"},
        DoubleCase{"Largest", std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        DoubleCase{"Lowest", std::numeric_limits<double>::lowest(), "-1.7976931348623157e+308"},
        DoubleCase{"SmallestSubnormal", std::numeric_limits<double>::denorm_min(), "5e-324"},
        DoubleCase{"DistantFuture", 64092211200.0, "64092211200"}),
    CaseName{});

TEST(ContentStateWriting, RandomFiniteDoublesRoundTripBitForBit) {
  std::mt19937_64 random(20260101);
  for (int i = 0; i < 5000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    ContentState state = titled("t");
    state.timerStart = value;
    const ContentState back = decodeOk(encodeOk(state));
    ASSERT_TRUE(back.timerStart.has_value());
    ASSERT_EQ(std::bit_cast<std::uint64_t>(*back.timerStart), std::bit_cast<std::uint64_t>(value))
        << value;
  }
}

struct StringCase {
  std::string name;
  std::string text;
  std::string literal;  // as written, quotes included
};

class StringWriting : public testing::TestWithParam<StringCase> {};

TEST_P(StringWriting, EscapesWhatJsonRequires) {
  const StringCase& c = GetParam();
  const std::string written = encodeOk(titled(c.text));
  EXPECT_EQ(written, R"({"title":)" + c.literal + "}");
  EXPECT_EQ(decodeOk(written).title, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StringWriting,
    testing::Values(StringCase{"Plain", "Call courier", R"("Call courier")"},
                    StringCase{"Quote", "say \"hi\"", R"("say \"hi\"")"},
                    StringCase{"Backslash", "a\\b", R"("a\\b")"},
                    StringCase{"Slash", "a/b", R"("a/b")"},
                    StringCase{"ShortEscapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
                    StringCase{"Nul", std::string("\0", 1), R"("\u0000")"},
                    StringCase{"OtherControls", "\x01\x1f\x0b", R"("\u0001\u001f\u000b")"},
                    StringCase{"Delete", "\x7f", "\"\x7f\""},
                    StringCase{"TwoByte", "\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\""},
                    StringCase{"LineSeparator", "\xE2\x80\xA8", "\"\xE2\x80\xA8\""},
                    StringCase{"Astral", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
                    StringCase{"LargestCodePoint", "\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""}),
    CaseName{});

struct EncodingFailureCase {
  std::string name;
  ContentState state;
  CodingPath path;
  std::string description;
};

class ContentStateWriteFailure : public testing::TestWithParam<EncodingFailureCase> {};

TEST_P(ContentStateWriteFailure, FailsNamingTheKey) {
  const EncodingFailureCase& c = GetParam();
  const auto result = encodeContentState(c.state);
  ASSERT_FALSE(result.ok()) << "wrote " << result.value();
  EXPECT_EQ(result.error().codingPath, c.path);
  EXPECT_EQ(result.error().description, c.description);
}

ContentState with(auto change) {
  ContentState state = titled("t");
  change(state);
  return state;
}

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, ContentStateWriteFailure,
    testing::Values(EncodingFailureCase{"ProgressNaN",
                                        with([](ContentState& s) { s.progress = nan; }),
                                        {"progress"},
                                        "Unable to encode Double.nan directly in JSON."},
                    EncodingFailureCase{"TimerStartInfinity",
                                        with([](ContentState& s) { s.timerStart = inf; }),
                                        {"timerStart"},
                                        "Unable to encode Double.infinity directly in JSON."},
                    EncodingFailureCase{"TimerEndMinusInfinity",
                                        with([](ContentState& s) { s.timerEnd = -inf; }),
                                        {"timerEnd"},
                                        "Unable to encode -Double.infinity directly in JSON."},
                    EncodingFailureCase{"FirstInWritingOrder",
                                        with([](ContentState& s) {
                                          s.timerEnd = nan;
                                          s.progress = inf;
                                        }),
                                        {"progress"},
                                        "Unable to encode Double.infinity directly in JSON."},
                    EncodingFailureCase{"TitleNotUtf8",
                                        titled("\xFF"),
                                        {"title"},
                                        "Unable to encode String: it is not valid UTF-8."},
                    EncodingFailureCase{
                        "LabelNotUtf8",
                        with([](ContentState& s) {
                          s.actions = std::vector<ActionSpec>{{"a", "b", {}}, {"c", "\xC3", true}};
                        }),
                        {"actions", std::size_t{1}, "label"},
                        "Unable to encode String: it is not valid UTF-8."}),
    CaseName{});

TEST(ContentStateWriting, EncodingErrorAsOneJsonLine) {
  const auto result = encodeContentState(with([](ContentState& s) { s.progress = nan; }));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(errorJson(result.error()),
            R"({"error":{"kind":"invalidValue","codingPath":["progress"],)"
            R"("description":"Unable to encode Double.nan directly in JSON."}})");
}

TEST(JsonWriter, AppendStringNeverEmitsInvalidUtf8) {
  std::string out;
  json::appendString(out,
                     "a\xFF"
                     "b\xC3"
                     "\xE0\x80\x80"
                     "\xED\xA0\x80"
                     "\xF4\x90\x80\x80"
                     "z");
  simdjson::dom::parser parser;
  const auto parsed = json::parse(parser, out);
  ASSERT_TRUE(parsed.ok()) << out;
  std::string_view text = parsed.value().get_string().value();
  EXPECT_TRUE(
      text.starts_with("a\xEF\xBF\xBD"
                       "b\xEF\xBF\xBD"));
  EXPECT_TRUE(text.ends_with("z"));
}

TEST(JsonWriter, NonFiniteNumberIsNeverInvalidJson) {
  std::string out;
  json::appendNumber(out, nan);
  EXPECT_EQ(out, "null");
}

TEST(JsonWriter, PlacesCommasAndColons) {
  json::Writer writer;
  writer.beginObject();
  writer.key("a");
  writer.beginArray();
  writer.number(1);
  writer.boolean(true);
  writer.null();
  writer.beginObject();
  writer.endObject();
  writer.beginArray();
  writer.endArray();
  writer.string("s");
  writer.endArray();
  writer.key("b");
  writer.boolean(false);
  writer.endObject();
  EXPECT_EQ(writer.str(), R"({"a":[1,true,null,{},[],"s"],"b":false})");
}

// ---------------------------------------------------------------------------------------------
// Error forms and readable forms.

TEST(ErrorForms, DescribePath) {
  EXPECT_EQ(describePath({}), "<top level>");
  EXPECT_EQ(describePath({"title"}), "title");
  EXPECT_EQ(describePath({"actions"}), "actions");
  EXPECT_EQ(describePath({"actions", std::size_t{0}}), "actions[0]");
  EXPECT_EQ(describePath({"actions", std::size_t{1}, "label"}), "actions[1].label");
}

TEST(ErrorForms, KindNames) {
  EXPECT_EQ(kindName(Kind::keyNotFound), "keyNotFound");
  EXPECT_EQ(kindName(Kind::valueNotFound), "valueNotFound");
  EXPECT_EQ(kindName(Kind::typeMismatch), "typeMismatch");
  EXPECT_EQ(kindName(Kind::dataCorrupted), "dataCorrupted");
}

TEST(ErrorForms, ErrorJsonIsOneLineOfValidJson) {
  const auto result = decodeContentState("{\"title\":\"a\\n\",\"title\":\"b\"}");
  ASSERT_FALSE(result.ok());
  const std::string line = errorJson(result.error());
  EXPECT_EQ(line, R"({"error":{"kind":"dataCorrupted","codingPath":[],)"
                  R"("description":"Repeated member name \"title\"."}})");
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const auto withNewline = errorJson(DecodingError{Kind::typeMismatch, {"a\nb"}, "x\ny"});
  EXPECT_EQ(withNewline.find('\n'), std::string::npos);
  simdjson::dom::parser parser;
  EXPECT_TRUE(json::parse(parser, withNewline).ok());
}

TEST(ErrorForms, StreamForms) {
  std::ostringstream out;
  out << DecodingError{Kind::keyNotFound, {"actions", std::size_t{1}, "label"}, "No value."};
  EXPECT_EQ(out.str(), "keyNotFound at actions[1].label: No value.");
}

TEST(RecordPrinting, PrintsTheCodedForm) {
  std::ostringstream out;
  out << decodeOk(readTestData("sample-content-state.json"));
  EXPECT_EQ(out.str(), workedExampleWritten);
  std::ostringstream action;
  action << ActionSpec{"a", "b", true};
  EXPECT_EQ(action.str(), R"({"actionId":"a","label":"b","requiresAuth":true})");
  std::ostringstream attributes;
  attributes << CorvlinLiveActivityAttributes{"delivery", "A42"};
  EXPECT_EQ(attributes.str(), R"({"kind":"delivery","activityId":"A42"})");
}

TEST(RecordPrinting, NotesWhatCannotBeCoded) {
  std::ostringstream out;
  out << with([](ContentState& s) { s.progress = nan; });
  EXPECT_EQ(out.str(),
            "<ContentState not codable: invalidValue at progress: "
            "Unable to encode Double.nan directly in JSON.>");
}

// ---------------------------------------------------------------------------------------------
// The parser on its own, and decoding from an element.

TEST(JsonParse, ElementDecodesLikeTheText) {
  simdjson::dom::parser parser;
  const auto root = json::parse(parser, readTestData("sample-content-state.json"));
  ASSERT_TRUE(root.ok());
  const auto state = decodeContentState(root.value());
  ASSERT_TRUE(state.ok());
  EXPECT_EQ(*state, decodeOk(readTestData("sample-content-state.json")));
  // The element lives in the parser, not in the text it was given.
  std::string text = R"({"kind":"k","activityId":"-0 a"})";
  const auto element = json::parse(parser, text);
  ASSERT_TRUE(element.ok());
  text.assign(text.size(), 'x');
  const auto attributes = decodeAttributes(element.value());
  ASSERT_TRUE(attributes.ok());
  EXPECT_EQ(attributes->activityId, "-0 a");
}

TEST(JsonParse, ActionSpecOnItsOwn) {
  const auto action = decodeActionSpec(R"({"actionId":"a","label":"b","requiresAuth":false})");
  ASSERT_TRUE(action.ok());
  EXPECT_EQ(*action, (ActionSpec{"a", "b", false}));
  EXPECT_EQ(*encodeActionSpec(*action), R"({"actionId":"a","label":"b","requiresAuth":false})");
  const auto missing = decodeActionSpec(R"({"actionId":"a"})");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().codingPath, (CodingPath{"label"}));
}

}  // namespace
}  // namespace corvlin
