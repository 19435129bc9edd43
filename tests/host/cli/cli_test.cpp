#include "host/cli/cli.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <regex>

namespace corvlin::host {
namespace {

TEST(Cli, ParsesCommandsAndOptions) {
  auto decode = parseArguments({"decode", "--attributes", "a.json"});
  ASSERT_TRUE(decode.ok()) << decode.error().message;
  EXPECT_EQ(decode->command, Options::Command::decode);
  EXPECT_TRUE(decode->attributes);
  EXPECT_EQ(decode->file, "a.json");

  auto render = parseArguments({"render", "-", "--format", "json", "--now", "1767225510.5", "--out",
                                "x", "--timeout", "250"});
  ASSERT_TRUE(render.ok()) << render.error().message;
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
      {{"render", "--now", "soon"},
       "--now needs seconds since 1970 (a JSON number) or an ISO 8601 instant with a zone "
       "(2026-01-01T09:00:00Z), not 'soon'"},
      {{"render", "--timeout", "0"}, "--timeout needs a whole number"},
      {{"render", "a", "b"}, "more than one input file"},
      {{"render", "--attributes"}, "--attributes is an option of decode"},
      {{"decode", "--format", "json"}, "--format is an option of render and replay"},
      {{"render", "--port", "80"}, "--port is an option of serve"},
      {{"serve", "--now", "5"}, "--now is an option of render"},
      {{"decode", "--out", "x"}, "--out is an option of render, replay and compare"},
      {{"compare", "a", "b", "--extension", "x"},
       "--extension is an option of render, replay and serve"},
      {{"render", "--version"}, "--version comes before any command: corvlin-host --version"},
      {{"decode", "--verbose"}, "unknown option '--verbose'"},
      {{"decod"}, "unknown command 'decod'; did you mean 'decode'?"},
      {{"repaly", "t.jsonl"}, "unknown command 'repaly'; did you mean 'replay'?"},
      {{"render", "--strcit"}, "unknown option '--strcit'; did you mean '--strict'?"},
      {{"serve", "--prot", "1"}, "unknown option of serve '--prot'; did you mean '--port'?"},
      {{"serve", "--auth-key", "k.p8", "--key-id", "", "--team-id", "T"},
       "--key-id is empty: give the signing key's key id"},
      {{"serve", "--auth-key", "k.p8", "--key-id=K", "--team-id", ""}, "--team-id is empty"},
      {{"replay"}, "replay needs a TIMELINE file"},
      {{"replay", "x", "--now"}, "--now is an option of render"},
      {{"replay", "x", "--scale", "2"}, "--scale is an option of render"},
      {{"render", "--out="}, "--out needs a value"},
      {{"render", "--width=400"}, "--width needs 371 or 408 (points), not '400'"},
      {{"render", "--format", "png"}, "--format png needs --out DIR"},
      // An option that would change nothing in the chosen format.
      {{"render", "--scale", "2"},
       "--scale sets the pictures' pixels to the point: it goes with "
       "--format png"},
      {{"render", "--scale", "2", "--format", "html", "--out", "p.html"}, "--scale sets"},
      {{"help", "rendr"}, "unknown command 'rendr'; did you mean 'render'?"},
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
    EXPECT_NE(parsed.error().message.find(c.message), std::string::npos) << parsed.error().message;
  }
}

TEST(Cli, HelpIsAskedForByNameOrByEitherFlagOfAnyCommand) {
  using C = Options::Command;
  struct Case {
    std::vector<std::string> arguments;
    C topic;
  };
  const Case cases[] = {
      {{"--help"}, C::help},
      {{"-h"}, C::help},
      {{"help"}, C::help},
      {{"help", "render"}, C::render},
      {{"help", "serve"}, C::serve},
      {{"render", "x.json", "-h"}, C::render},
      {{"render", "--help", "--format", "pdf"}, C::render},
      {{"replay", "--help"}, C::replay},
      {{"decode", "--attributes", "--help"}, C::decode},
      {{"compare", "-h"}, C::compare},
      {{"serve", "--port", "80", "--help"}, C::serve},
      {{"serve", "-h"}, C::serve},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    auto parsed = parseArguments(c.arguments);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    EXPECT_EQ(parsed->command, C::help);
    EXPECT_EQ(parsed->helpTopic, c.topic);
  }
  EXPECT_EQ(parseArguments({"--version"})->command, C::version);
  EXPECT_EQ(parseArguments({"--version", "render"})->command, C::version);
}

// Each command's help names its own options and no other command's; the list of commands
// names every command and no option.
TEST(Cli, EachCommandsHelpNamesItsOwnOptionsOnly) {
  const auto commands = commandLineNames();
  ASSERT_EQ(commands.size(), 5u);
  const std::string list = helpText(Options::Command::help);
  for (const CommandNames& command : commands) {
    SCOPED_TRACE(command.name);
    EXPECT_NE(list.find("  " + command.name + " "), std::string::npos) << list;
    const std::string help = helpText(command.command);
    EXPECT_EQ(help.rfind("usage: corvlin-host " + command.name + " ", 0), 0u) << help;
    for (const CommandNames& other : commands) {
      for (const std::string& option : other.options) {
        const bool own = std::find(command.options.begin(), command.options.end(), option) !=
                         command.options.end();
        const std::regex named("(^|[^-a-z])" + option + "([^-a-z]|$)");
        EXPECT_EQ(std::regex_search(help, named), own) << option << (own ? " left out" : " named");
        if (option != "--help") {
          EXPECT_FALSE(std::regex_search(list, named)) << option << " in the list of commands";
        }
      }
    }
  }
}

TEST(Cli, TheVersionIsTheBuildsOwn) {
  EXPECT_TRUE(
      std::regex_match(versionText(), std::regex("corvlin-host [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << versionText();
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
    ASSERT_TRUE(parsed.ok()) << parsed.error().message;
    c.expect(parsed.value());
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
      {"100000000000", 1e11},  // the last that is not taken for milliseconds
      {"100000000000.5", std::nullopt},
      {"123456789012345678901234", std::nullopt},
      {" 7 ", 7.0},  // JSON allows white space around
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

TEST(Cli, NowTakesSecondsOrAnIsoInstantWithItsZone) {
  struct Case {
    const char* text;
    std::optional<double> now;  // absent: refused with `message`
    std::string message = "";
  };
  const std::string iso = "--now needs a zone after an ISO 8601 time";
  const std::string calendar = "--now needs a day of the calendar and a time of day";
  const Case cases[] = {
      {"2026-01-01T09:00:00Z", 1767258000},
      {"2026-01-01T11:00:00+02:00", 1767258000},
      {"2026-01-01T04:30:00-04:30", 1767258000},
      {"2026-01-01T11:00:00+0200", 1767258000},
      {"2026-01-01 09:00:00z", 1767258000},
      {"2026-01-01t09:00Z", 1767258000},
      {"2026-01-01T09:00:00.25Z", 1767258000.25},
      {"1970-01-01T00:00:00Z", 0},
      {"1969-12-31T23:59:59Z", -1},
      {"2024-02-29T00:00:00Z", 1709164800},
      {"2026-01-01T09:00:00", std::nullopt, iso},
      {"2026-02-29T00:00:00Z", std::nullopt, calendar},
      {"2026-13-01T00:00:00Z", std::nullopt, calendar},
      {"2026-01-01T24:00:00Z", std::nullopt, calendar},
      {"2026-01-01T09:00:60Z", std::nullopt, calendar},
      {"2026-01-01T09:00:00+24:00", std::nullopt, calendar},
      {"2026-01-01", std::nullopt, "--now needs seconds since 1970"},
      {"2026-1-1T09:00:00Z", std::nullopt, "--now needs seconds since 1970"},
      {"1767258000", 1767258000},
      // What the warnings take for milliseconds is refused, with the value in seconds.
      {"1767258000000", std::nullopt,
       "--now 1767258000000 looks like milliseconds (as seconds since 1970 it falls in about the "
       "year 57971); did you mean --now 1767258000?"},
      {"1767258000500", std::nullopt, "did you mean --now 1767258000.5?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto parsed = parseArguments({"render", "--now", c.text});
    ASSERT_EQ(parsed.ok(), c.now.has_value()) << (parsed ? "" : parsed.error().message);
    if (c.now) {
      EXPECT_EQ(parsed->now, c.now);
    } else {
      EXPECT_NE(parsed.error().message.find(c.message), std::string::npos)
          << parsed.error().message;
      EXPECT_EQ(parsed.error().command, "render");
    }
  }
}

}  // namespace
}  // namespace corvlin::host
