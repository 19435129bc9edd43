// corvlin-host as a user runs it: exit statuses, what goes to which stream, the error lines.
#include <gtest/gtest.h>

#include <sstream>

#include "host/host_test_support.hpp"

namespace corvlin::test {
namespace {

constexpr const char* pinnedNow = "1767225510";

std::string lineCount(const std::string& text) {
  return std::to_string(std::count(text.begin(), text.end(), '\n'));
}

TEST(HostDecode, WritesTheRecordBackOrOneErrorLine) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    int status;
    std::string out;  // exact; empty on failure
    std::string err;  // a part of it
  };
  const std::string attributes = "{\"kind\":\"delivery\",\"activityId\":\"A42\"}\n";
  const std::string wrapped = R"({"attributes":{"kind":"k","activityId":"a"},"contentState":)";
  // clang-format off
  const Case cases[] = {
      {"sample payload round-trips", {"decode"}, "", 0,
       R"({"title":"Order 42 is on its way","body":"Courier is 2 km away","tone":"warning","progress":0.4,)"
       R"("timerEnd":1767225600,"timerDirection":"down","actions":[{"actionId":"call","label":"Call courier"},)"
       R"({"actionId":"cancel","label":"Cancel order","requiresAuth":true}]})" "\n", ""},
      {"missing label names its place", {"decode", "-"},
       R"({"title":"t","actions":[{"actionId":"a","label":"A"},{"actionId":"b"}]})", 65, "",
       R"({"error":{"kind":"keyNotFound","codingPath":["actions",1,"label"],)"},
      {"not JSON", {"decode", "-"}, "{", 65, "", R"({"error":{"kind":"dataCorrupted","codingPath":[],)"},
      {"attributes", {"decode", "--attributes", "-"}, R"({"kind":"delivery","activityId":"A42","x":1})", 0,
       attributes, ""},
      {"attributes by default", {"decode", "--attributes"}, "", 0, attributes, ""},
      {"attributes lacking activityId", {"decode", "--attributes", "-"}, R"({"kind":"delivery"})", 65, "",
       R"("codingPath":["activityId"])"},
      {"unreadable file", {"decode", "/nonexistent/payload.json"}, "", 66, "",
       "cannot open /nonexistent/payload.json"},
      {"wrapped form written back wrapped", {"decode", "-"},
       R"({"contentState":{"title":"t","x":1},"attributes":{"activityId":"a","kind":"k"}})", 0,
       R"({"attributes":{"kind":"k","activityId":"a"},"contentState":{"title":"t"}})" "\n", ""},
      {"wrapped form without attributes", {"decode", "-"}, R"({"attributes":null,"contentState":{"title":"t"}})",
       0, "{\"contentState\":{\"title\":\"t\"}}\n", ""},
      {"wrapped attributes lacking activityId", {"decode", "-"},
       R"({"attributes":{"kind":"k"},"contentState":{"title":"t"}})", 65, "",
       R"({"error":{"kind":"keyNotFound","codingPath":["attributes","activityId"],)"},
      {"wrapped content state lacking title", {"decode", "-"}, wrapped + "{}}", 65, "",
       R"({"error":{"kind":"keyNotFound","codingPath":["contentState","title"],)"},
      {"a list is not one activity", {"decode", "-"}, R"([{"title":"t"}])", 65, "",
       R"({"error":{"kind":"typeMismatch","codingPath":[],)"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost(c.arguments, c.input);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    if (c.status == 65) {
      EXPECT_EQ(lineCount(run.err), "1") << "exactly one error line: " << run.err;
    }
  }
}

TEST(HostCommands, OneRuleForEachForm) {
  // Any object with a "contentState" member is the wrapped form, for both commands; an
  // envelope's members without "aps" are named as such.
  const std::string bareAps = R"({"event":"update","timestamp":1,"content-state":{"title":"x"}})";
  const std::string hint =
      R"("hint":"this looks like a push envelope without its \"aps\" wrapper: send )";
  struct Case {
    const char* name;
    std::vector<std::string> command;
    std::string input;
    std::string err;  // the start of the one error line
    std::string hint;
  };
  const std::vector<std::string> decode{"decode", "-"};
  const std::vector<std::string> render{"render", "-", "--now", pinnedNow};
  const Case cases[] = {
      {"decode, wrapped", decode, R"({"title":"x","contentState":5})",
       R"({"error":{"kind":"typeMismatch","codingPath":["contentState"],)", ""},
      {"render, wrapped", render, R"({"title":"x","contentState":5})",
       R"({"error":{"kind":"typeMismatch","codingPath":["contentState"],)", ""},
      {"decode, no aps", decode, bareAps,
       R"({"error":{"kind":"keyNotFound","codingPath":["title"],)", hint},
      {"render, no aps", render, bareAps,
       R"({"error":{"kind":"keyNotFound","codingPath":["title"],)", hint},
      {"render, no aps in a list", render, "[" + bareAps + "]",
       R"({"error":{"kind":"keyNotFound","codingPath":[0,"title"],)", hint},
      {"render, an end with nothing to draw", render, R"({"aps":{"event":"end","timestamp":1}})",
       R"({"error":{"kind":"keyNotFound","codingPath":["aps","content-state"],)",
       R"("hint":"an \"end\" may leave it out)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost(c.command, c.input);
    EXPECT_EQ(run.status, 65);
    if (c.input.front() != '[') {
      EXPECT_EQ(run.out, "") << "only a list shows the error in its place";
    }
    EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.hint), std::string::npos) << run.err;
    EXPECT_EQ(lineCount(run.err), "1") << run.err;
  }
}

TEST(HostCommands, BadUsageSaysWhatIsWrongAndWhereToLook) {
  struct Case {
    std::vector<std::string> arguments;
    std::string first;
    std::string help;  // the command whose help the second line points to
  };
  const Case cases[] = {
      {{}, "corvlin-host: missing command", ""},
      {{"decode", "--bogus"}, "corvlin-host: unknown option '--bogus'", "decode"},
      {{"render", "--now", "1e400"}, "corvlin-host: --now needs seconds since 1970", "render"},
      {{"render", "--now", "1767225600000"},
       "corvlin-host: --now 1767225600000 looks like milliseconds",
       "render"},
      {{"render", "--out"}, "corvlin-host: --out needs a value", "render"},
      {{"render", "--port", "80"}, "corvlin-host: --port is an option of serve\n", "render"},
      {{"decod"}, "corvlin-host: unknown command 'decod'; did you mean 'decode'?", ""},
      {{"replay"}, "corvlin-host: replay needs a TIMELINE file", "replay"},
      {{"serve", "--bind", "example.org"}, "corvlin-host: ", "serve"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const HostRun run = runHost(c.arguments);
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.out, "");
    const auto newline = run.err.find('\n');
    ASSERT_NE(newline, std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind(c.first, 0), 0u) << run.err;
    EXPECT_EQ(run.err.substr(newline + 1),
              "try 'corvlin-host " + (c.help.empty() ? "" : c.help + " ") + "--help'\n");
  }
}

TEST(HostCommands, HelpAndVersionGoToStandardOutput) {
  struct Case {
    std::vector<std::string> arguments;
    std::string first;  // the first line, exact
  };
  const Case cases[] = {
      {{"--help"}, "usage: corvlin-host COMMAND [OPTIONS] [ARGUMENTS]"},
      {{"render", "--help"},
       "usage: corvlin-host render [FILE|-] [--format text|json|html] [--now INSTANT] [--out "
       "PATH]"},
      {{"help", "compare"}, "usage: corvlin-host compare OLD NEW [--out DIR] [--tolerance N]"},
      {{"--version"}, "corvlin-host " CORVLIN_EXPECTED_VERSION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const HostRun run = runHost(c.arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), c.first);
  }
}

TEST(HostRender, ShowsAllSevenPresentationsOfTheDefaultActivity) {
  const HostRun text = runHost({"render", "--now", pinnedNow});
  ASSERT_EQ(text.status, 0) << text.err;
  for (const char* part :
       {"Lock screen", "expanded leading", "expanded trailing", "expanded bottom",
        "compact leading", "compact trailing", "minimal", "\"Order 42 is on its way\"",
        "rgb(1, 0.62, 0.11)", "timer 1:30 counting down",
        "corvlin://live-activity/action?actionId=cancel", "button [🔒 \"Cancel order\"]",
        "right-to-left"}) {
    EXPECT_NE(text.out.find(part), std::string::npos) << part << "\n" << text.out;
  }

  const HostRun json = runHost({"render", "--now", pinnedNow, "--format", "json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"presentations\":{\"lockScreen\":", 0), 0u) << json.out;
  EXPECT_EQ(lineCount(json.out), "1");
}

TEST(HostRender, ReadsWrappedStatesAndListsFromStandardInput) {
  const std::string wrapped =
      R"({"attributes":{"kind":"k","activityId":"a"},"contentState":{"title":"Wrapped"}})";
  const HostRun one = runHost({"render", "-", "--now", pinnedNow}, wrapped);
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("\"Wrapped\""), std::string::npos);

  const std::string list =
      "[" + wrapped + R"(,{"contentState":{"body":"no title"}},{"title":"Third"}])";
  const HostRun many = runHost({"render", "-", "--now", pinnedNow}, list);
  EXPECT_EQ(many.status, 65) << "a failed entry still fails the run";
  EXPECT_NE(many.out.find("Activity 3 of 3"), std::string::npos) << many.out;
  EXPECT_NE(many.out.find("\"Third\""), std::string::npos) << "later entries still render";
  EXPECT_NE(many.out.find(R"("codingPath":[1,"contentState","title"])"), std::string::npos)
      << many.out;
  // An envelope draws its content state and attributes, as the wrapped form does.
  const std::string envelope =
      R"({"aps":{"event":"start","timestamp":1767225510,"attributes-type":"CorvlinLiveActivityAttributes",)"
      R"("attributes":{"kind":"k","activityId":"a"},"content-state":{"title":"Wrapped"}}})";
  const std::vector<std::string> json{"render", "-", "--now", pinnedNow, "--format", "json"};
  const HostRun drawn = runHost(json, envelope);
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.out, runHost(json, wrapped).out);
  EXPECT_EQ(runHost(json, "[" + envelope + "]").out, runHost(json, "[" + wrapped + "]").out);

  // Standard error holds one JSON line for the failed activity, naming it from 0.
  EXPECT_EQ(many.err, R"({"error":{"kind":"keyNotFound","codingPath":[1,"contentState","title"],)"
                      R"("description":"No value associated with key \"title\".","activity":1}})"
                      "\n");
}

TEST(HostRender, RefusesEmptyOrLongListsAndReportsDecodingFailuresLikeDecode) {
  std::string many = "[";
  for (int i = 0; i < 65; ++i) many += std::string(i ? "," : "") + R"({"title":"t"})";
  const struct {
    std::string input, err;  // err: a part of the one error line
  } cases[] = {
      {"[]", R"({"error":{"kind":"dataCorrupted","codingPath":[],)"
             R"("description":"The list holds no activity."}})"},
      {many + "]", "The list holds 65 activities; at most 64"},
      {R"({"contentState":{"title":"t","progress":"half"}})",
       R"({"error":{"kind":"typeMismatch","codingPath":["contentState","progress"])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    const HostRun run = runHost({"render", "-"}, c.input);
    EXPECT_EQ(run.status, 65);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(lineCount(run.err), "1") << run.err;
  }
}

TEST(HostRender, RefusesOversizedPayloadsAndWarnsOverTheActivityBudget) {
  for (const char* command : {"decode", "render"}) {
    SCOPED_TRACE(command);
    const HostRun huge = runHost({command, "-"}, std::string(2 << 20, ' '));
    EXPECT_EQ(huge.status, 65);
    EXPECT_EQ(huge.err, R"({"error":{"kind":"dataCorrupted","codingPath":[],)"
                        R"("description":"standard input is larger than 1048576 bytes; )"
                        R"(refusing to read it"}})"
                        "\n");
  }

  const std::string big = R"({"title":")" + std::string(5000, 'x') + "\"}";
  const HostRun warned = runHost({"render", "-", "--now", pinnedNow}, big);
  EXPECT_EQ(warned.status, 0) << warned.err;
  EXPECT_NE(warned.err.find("over the 4096-byte budget"), std::string::npos) << warned.err;

  // decode, the check before sending, warns the same way and still writes the state back.
  const HostRun checked = runHost({"decode", "-"}, big);
  EXPECT_EQ(checked.status, 0) << checked.err;
  EXPECT_EQ(checked.out, big + "\n");
  EXPECT_NE(checked.err.find("over the 4096-byte budget"), std::string::npos) << checked.err;
}

TEST(HostRender, RendersTheLargestAnswerAnAcceptedPayloadCanGive) {
  // Three action ids that fill the payload bound, each byte percent-escaped to three and every
  // link drawn twice: about six times the payload, all of it an honest answer.
  std::string payload = R"({"title":"t","actions":[)";
  for (const char* label : {"a", "b", "c"}) {
    payload += R"({"actionId":")" + std::string(340000, '!') + R"(","label":")" + label + "\"},";
  }
  payload.back() = ']';
  payload += '}';
  ASSERT_LE(payload.size(), 1u << 20);
  const HostRun run = runHost(
      {"render", "-", "--now", pinnedNow, "--format", "json", "--timeout", "60000"}, payload);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GT(run.out.size(), 4u << 20);
}

TEST(HostRender, SurvivesAFailingExtension) {
  struct Case {
    const char* fault;
    std::string message;
    const char* timeoutMs = "5000";
    std::string input = "";  // empty: the built-in sample
  };
  // More than a pipe holds, so writing the request meets a reader that is gone.
  const std::string unread = R"({"title":")" + std::string(600000, 'x') + "\"}";
  const Case cases[] = {
      {"crash", "the extension crashed"},
      {"exit-early", "exited with status 2 after 0 of 1 answers"},
      {"exit-at-start", "exited with status 3"},
      {"exit-at-start", "exited with status 3", "5000", unread},
      {"hang", "no answer within 300 ms", "300"},
      {"garbage", "is not one line of JSON"},
      {"no-newline", "not a complete line"},
      {"wrong-shape", "neither \"presentations\" nor \"error\""},
      {"malformed-view", R"(no valid view description: {"error":{"kind":"typeMismatch",)"
                         R"("codingPath":["dynamicIsland","expanded",2,"content","children",1],)"},
      {"huge", "larger than 8388608 bytes"},
      {"answer-then-hang", "did not exit at the end of its input", "300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault + std::string(c.input.empty() ? "" : ", large request"));
    std::vector<std::string> arguments = {"render",
                                          "--now",
                                          pinnedNow,
                                          "--timeout",
                                          c.timeoutMs,
                                          "--extension",
                                          binPath("faulty-extension")};
    if (!c.input.empty()) arguments.push_back("-");
    const HostRun run = runHost(arguments, c.input, {std::string("CORVLIN_FAULT=") + c.fault});
    EXPECT_EQ(run.status, 69) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  const HostRun missing = runHost({"render", "--extension", "/nonexistent/extension"});
  EXPECT_EQ(missing.status, 69);
  EXPECT_NE(missing.err.find("cannot start the extension /nonexistent/extension"),
            std::string::npos)
      << missing.err;
}

TEST(HostRender, ShowsAFailedActivityInItsPlaceAndRendersTheOthers) {
  // The stand-in crashes on the activity titled "crash", hangs on "hang", answers the others.
  const std::string page =
      R"([{"title":"one"},{"title":"crash"},{"contentState":{"title":"hang"}},{"title":"four"}])";
  for (const char* format : {"text", "json", "html"}) {
    SCOPED_TRACE(format);
    const HostRun run = runHost({"render", "-", "--now", pinnedNow, "--format", format, "--timeout",
                                 "2000", "--extension", binPath("faulty-extension")},
                                page, {"CORVLIN_FAULT=by-title"});
    EXPECT_EQ(run.status, 69) << run.err;
    // One JSON line per failed activity, naming it from 0, and nothing else.
    EXPECT_EQ(run.err.rfind(R"({"extensionFailure":{"kind":"crashed","description":)"
                            R"("the extension crashed: it was killed by signal)",
                            0),
              0u)
        << run.err;
    EXPECT_NE(run.err.find(R"(","activity":1}})"
                           "\n"
                           R"({"extensionFailure":{"kind":"timedOut","description":)"
                           R"("the extension gave no answer within 2000 ms and was stopped",)"
                           R"("activity":2}})"
                           "\n"),
              std::string::npos)
        << run.err;
    // Nothing in prose: on a loaded machine the last activity may time out too, with a line
    // of its own.
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.rfind(R"({"extensionFailure":{"kind":")", 0), 0u) << line;
    }
    // Each failure stands between the activities that still rendered, in list order.
    const auto first = run.out.find("stand-in");
    const auto crashed = run.out.find("the extension crashed");
    const auto hung = run.out.find("no answer within 2000 ms");
    const auto last = run.out.rfind("stand-in");
    ASSERT_NE(first, std::string::npos) << run.out;
    ASSERT_NE(crashed, std::string::npos) << run.out;
    ASSERT_NE(hung, std::string::npos) << run.out;
    EXPECT_LT(first, crashed);
    EXPECT_LT(crashed, hung);
    EXPECT_LT(hung, last);
  }
}

}  // namespace
}  // namespace corvlin::test
