#include "host/cli/cli.hpp"

#include <gtest/gtest.h>

namespace corvlin::host {
namespace {

TEST(Cli, ParsesCommandsAndOptions) {
  auto decode = parseArguments({"decode", "--attributes", "a.json"});
  ASSERT_TRUE(decode.ok()) << decode.error();
  EXPECT_EQ(decode->command, Options::Command::decode);
  EXPECT_TRUE(decode->attributes);
  EXPECT_EQ(decode->file, "a.json");

  auto render = parseArguments({"render", "-", "--format", "json", "--now", "1767225510.5", "--out",
                                "x", "--timeout", "250"});
  ASSERT_TRUE(render.ok()) << render.error();
  EXPECT_EQ(render->command, Options::Command::render);
  EXPECT_EQ(render->file, "-");
  EXPECT_EQ(render->format, Format::json);
  EXPECT_EQ(render->now, 1767225510.5);
  EXPECT_EQ(render->out, "x");
  EXPECT_EQ(render->timeoutMs, 250);

  EXPECT_EQ(parseArguments({"render"})->file, std::nullopt);
  EXPECT_EQ(parseArguments({"--help"})->command, Options::Command::help);
  EXPECT_EQ(parseArguments({"render", "x.json", "--help"})->command, Options::Command::help);
}

TEST(Cli, RejectsBadUsageNamingTheProblem) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{}, "missing command"},
      {{"draw"}, "unknown command 'draw'"},
      {{"render", "--format", "pdf"}, "unknown format 'pdf'"},
      {{"render", "--format"}, "--format needs a value"},
      {{"render", "--now", "soon"}, "--now needs a finite number"},
      {{"render", "--now", "inf"}, "--now needs a finite number"},
      {{"render", "--timeout", "0"}, "--timeout needs a whole number"},
      {{"render", "a", "b"}, "more than one input file"},
      {{"render", "--attributes"}, "--attributes is an option of decode"},
      {{"decode", "--format", "json"}, "--format is an option of render"},
      {{"decode", "--verbose"}, "unknown option '--verbose'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    auto parsed = parseArguments(c.arguments);
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error().find(c.message), std::string::npos) << parsed.error();
  }
}

}  // namespace
}  // namespace corvlin::host
