// The two lines in JSON: what the host writes the extension reads back as the same records,
// and what the extension answers the host reads back as the same outcome.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

#include "model/coding.hpp"
#include "protocol/answer.hpp"
#include "protocol/request.hpp"

namespace corvlin::protocol {
namespace {

TEST(RequestLine, IsReadBackAsTheRecordsItWasWrittenFrom) {
  struct Case {
    const char* name;
    std::string contentState;
    std::optional<std::string> attributes;
    double now;
    std::string line;  // as written
  };
  const Case cases[] = {
      {"content state only", R"({"title":"a"})", std::nullopt, 1767225600,
       R"({"contentState":{"title":"a"},"now":1767225600})"},
      {"with attributes", R"({"title":"b","progress":0.5})",
       R"({"kind":"delivery","activityId":"A42"})", 1767225600.25,
       R"({"contentState":{"title":"b","progress":0.5},)"
       R"("attributes":{"kind":"delivery","activityId":"A42"},)"
       R"("now":1767225600.25})"},
  };
  simdjson::dom::parser parser;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = requestLine(c.contentState, c.attributes, c.now);
    EXPECT_EQ(line, c.line);
    const auto request = readRequest(parser, line);
    ASSERT_TRUE(request.ok()) << errorJson(request.error().error);
    ASSERT_TRUE(request.value().now.has_value());
    EXPECT_EQ(request.value().now->timeIntervalSince1970, c.now);
    EXPECT_EQ(request.value().contentState, decodeContentState(c.contentState).value());
    EXPECT_EQ(request.value().attributes.has_value(), c.attributes.has_value());
  }
}

TEST(RequestLine, TellsAFaultOfTheRequestFromOneOfItsRecords) {
  struct Case {
    const char* line;
    ErrorSource source;
    DecodingError::Kind kind;
  };
  const Case cases[] = {
      {" \t", ErrorSource::request, DecodingError::Kind::dataCorrupted},
      {"[1]", ErrorSource::request, DecodingError::Kind::typeMismatch},
      {R"({"now":1})", ErrorSource::request, DecodingError::Kind::keyNotFound},
      {R"({"contentState":null})", ErrorSource::request, DecodingError::Kind::valueNotFound},
      {R"({"contentState":{"title":"a"},"now":"soon"})", ErrorSource::request,
       DecodingError::Kind::typeMismatch},
      {R"({"contentState":{"title":5}})", ErrorSource::record, DecodingError::Kind::typeMismatch},
      {R"({"contentState":{"title":"a"},"attributes":[]})", ErrorSource::record,
       DecodingError::Kind::typeMismatch},
  };
  simdjson::dom::parser parser;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto request = readRequest(parser, c.line);
    ASSERT_FALSE(request.ok());
    EXPECT_EQ(request.error().source, c.source);
    EXPECT_EQ(request.error().error.kind, c.kind);
  }
}

TEST(AnswerLine, IsReadBackAsWhatItWasWrittenFrom) {
  json::Writer presentations;
  writeAnswer(presentations, ui::Presentations{});
  const Answer drawn = readAnswer(presentations.str());
  ASSERT_TRUE(std::holds_alternative<ui::Presentations>(drawn));
  EXPECT_EQ(std::get<ui::Presentations>(drawn), ui::Presentations{});

  for (const ErrorSource source : {ErrorSource::request, ErrorSource::record}) {
    const RequestError error{
        {DecodingError::Kind::typeMismatch, {std::string("title")}, "Expected a string."}, source};
    json::Writer refused;
    writeAnswer(refused, error);
    const Answer read = readAnswer(refused.str());
    ASSERT_TRUE(std::holds_alternative<DecodingError>(read));
    EXPECT_EQ(errorJson(std::get<DecodingError>(read)), errorJson(error.error));
  }
}

TEST(AnswerLine, ALineThatIsNeitherIsAMalformedAnswer) {
  struct Case {
    const char* line;
    const char* says;
  };
  const Case cases[] = {
      {"not json", "the extension's answer is not one line of JSON: "},
      {"{}", R"(the extension's answer holds neither "presentations" nor "error")"},
      {R"({"error":5})", "the extension's answer holds an error in an unknown form: "},
      {R"({"presentations":[]})", "the extension's answer holds no valid view description: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Answer read = readAnswer(c.line);
    ASSERT_TRUE(std::holds_alternative<ExtensionFailure>(read));
    const auto& failure = std::get<ExtensionFailure>(read);
    EXPECT_EQ(failure.kind, ExtensionFailure::Kind::malformedAnswer);
    EXPECT_EQ(failure.message.rfind(c.says, 0), 0u) << failure.message;
  }
}

}  // namespace
}  // namespace corvlin::protocol
