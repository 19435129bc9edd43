#include "host/cli/cli.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

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
  EXPECT_EQ(parseArguments({"render", "--out", "-"})->out, std::nullopt) << "- is standard output";
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
      {{"render", "--now", "soon"}, "--now needs a number of seconds written as in JSON"},
      {{"render", "--timeout", "0"}, "--timeout needs a whole number"},
      {{"render", "a", "b"}, "more than one input file"},
      {{"render", "--attributes"}, "--attributes is an option of decode"},
      {{"decode", "--format", "json"}, "--format is an option of render"},
      {{"decode", "--verbose"}, "unknown option '--verbose'"},
      {{"decod"}, "unknown command 'decod'; did you mean 'decode'?"},
      {{"repaly", "t.jsonl"}, "unknown command 'repaly'; did you mean 'replay'?"},
      {{"render", "--strcit"}, "unknown option '--strcit'; did you mean '--strict'?"},
      {{"serve", "--prot", "1"}, "unknown option of serve '--prot'; did you mean '--port'?"},
      {{"serve", "--auth-key", "k.p8", "--key-id", "", "--team-id", "T"},
       "--key-id is empty: give the signing key's key id"},
      {{"serve", "--auth-key", "k.p8", "--key-id=K", "--team-id", ""}, "--team-id is empty"},
      {{"replay"}, "replay needs a TIMELINE file"},
      {{"replay", "x", "--now"}, "--now is not an option of replay"},
      {{"replay", "x", "--scale", "2"}, "--scale is an option of render"},
      {{"render", "--out="}, "--out needs a value"},
      {{"render", "--width=400"}, "--width needs 371 or 408 (points), not '400'"},
      {{"render", "--format", "png"}, "--format png needs --out DIR"},
      {{"replay", "x", "--format", "png"}, "unknown format 'png' (expected text, json or html)"},
      {{"compare", "a"}, "compare needs two snapshot folders"},
      {{"compare", "a", "b", "c"}, "compare needs two snapshot folders"},
      {{"compare", "--tolerence", "1", "a", "b"},
       "unknown option '--tolerence'; did you mean '--tolerance'?"},
      {{"compare", "--tolerance", "2.5", "a", "b"},
       "--tolerance needs a whole number from 0 to 255"},
      {{"--strict", "decode"}, "unknown command '--strict'"},
      // The first bad argument is the one reported, even before --help.
      {{"render", "--format", "pdf", "--help"}, "unknown format 'pdf'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    auto parsed = parseArguments(c.arguments);
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error().find(c.message), std::string::npos) << parsed.error();
  }
}

TEST(Cli, HelpIsAskedForByNameOrByEitherFlagOfAnyCommand) {
  const std::vector<std::vector<std::string>> asks = {
      {"--help"},
      {"-h"},
      {"help"},
      {"help", "render"},
      {"render", "x.json", "-h"},
      {"render", "--help", "--format", "pdf"},
      {"replay", "--help"},
      {"decode", "--attributes", "--help"},
      {"compare", "-h"},
      {"serve", "--port", "80", "--help"},
      {"serve", "-h"},
  };
  for (const auto& arguments : asks) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    auto parsed = parseArguments(arguments);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(parsed->command, Options::Command::help);
  }
}

TEST(Cli, ReadsAValueAfterItsOptionOrAfterAnEqualsSign) {
  struct Case {
    std::vector<std::string> arguments;
    std::function<void(const Options&)> expect;
  };
  const Case cases[] = {
      {{"render", "--format=json", "--timeout=250"},
       [](const Options& o) {
         EXPECT_EQ(o.format, Format::json);
         EXPECT_EQ(o.timeoutMs, 250);
       }},
      {{"render", "--now=-0"}, [](const Options& o) { EXPECT_TRUE(std::signbit(*o.now)); }},
      // The value is the next argument, whatever it looks like.
      {{"render", "--out", "--format"}, [](const Options& o) { EXPECT_EQ(o.out, "--format"); }},
      {{"render", "--now", "-5"}, [](const Options& o) { EXPECT_EQ(o.now, -5.0); }},
      // Given twice, the last holds.
      {{"render", "--timeout", "5", "--timeout", "7"},
       [](const Options& o) { EXPECT_EQ(o.timeoutMs, 7); }},
      {{"render", "--out", "x", "--out", "-"},
       [](const Options& o) { EXPECT_EQ(o.out, std::nullopt); }},
      // "--" ends the options: what follows is FILE.
      {{"render", "--", "-x.json"}, [](const Options& o) { EXPECT_EQ(o.file, "-x.json"); }},
      {{"decode", "-"}, [](const Options& o) { EXPECT_EQ(o.file, "-"); }},
      {{"render", "--scale", "1e0", "--width", "408", "--format", "png", "--out", "d"},
       [](const Options& o) {
         EXPECT_EQ(o.scale, 1);
         EXPECT_EQ(o.lockScreenWidth, 408);
         EXPECT_EQ(o.out, "d");
       }},
      // A command's name is a file after another command.
      {{"render", "decode"}, [](const Options& o) { EXPECT_EQ(o.file, "decode"); }},
      // compare's --out is a folder: "-" is not standard output there.
      {{"compare", "a", "--out", "-", "b", "--tolerance=3"},
       [](const Options& o) {
         EXPECT_EQ(o.folders, (std::vector<std::string>{"a", "b"}));
         EXPECT_EQ(o.out, "-");
         EXPECT_EQ(o.tolerance, 3);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    auto parsed = parseArguments(c.arguments);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    c.expect(parsed.value());
  }
}

TEST(Cli, TheHelpNamesEveryCommandAndOption) {
  const std::string usage = usageText;
  for (const std::string& name : commandLineNames()) {
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  }
}

TEST(Cli, ReadsNumbersAsThePayloadDoes) {
  struct Case {
    const char* text;
    std::optional<double> now;  // absent: refused
  };
  const Case cases[] = {
      {"1767225510.5", 1767225510.5},
      {"1e-400", 0.0},  // too small for a double: zero, as in a payload
      {"1E3", 1000.0},
      {"-1.5e2", -150.0},
      {"123456789012345678901234", 1.2345678901234568e23},  // beyond 64 bits: nearest double
      {" 7 ", 7.0},                                         // JSON allows white space around
      {"1e400", std::nullopt},
      {"inf", std::nullopt},
      {"NaN", std::nullopt},
      {"0x10", std::nullopt},
      {"+1", std::nullopt},
      {".5", std::nullopt},
      {"1.", std::nullopt},
      {"01", std::nullopt},
      {"5 6", std::nullopt},
      {"\"5\"", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto parsed = parseArguments({"render", "--now", c.text});
    ASSERT_EQ(parsed.ok(), c.now.has_value());
    if (c.now) {
      EXPECT_EQ(parsed->now, c.now);
    }
  }
  const auto negativeZero = parseArguments({"render", "--now", "-0"});
  ASSERT_TRUE(negativeZero.ok());
  EXPECT_TRUE(std::signbit(*negativeZero->now));
  EXPECT_EQ(parseArguments({"render", "--timeout", "1e3"})->timeoutMs, 1000);
  EXPECT_FALSE(parseArguments({"render", "--timeout", "2.5"}).ok());
}

}  // namespace
}  // namespace corvlin::host
