// corvlin-host replay over the timelines in tests/data/timelines (golden files for the JSON
// form of two of them); decode on an envelope is in decode_envelope_test.cpp.
// Set CORVLIN_UPDATE_GOLDEN=1 to rewrite the golden files from the current output.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/host_test_support.hpp"

namespace corvlin::test {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string state = R"("content-state":{"title":"Order 42"})";

TEST(HostReplay, JsonFormMatchesTheGoldenFiles) {
  struct Case {
    const char* timeline;
    const char* golden;
    int status;
  };
  const Case cases[] = {
      {"timelines/delivery.jsonl", "golden/replay-delivery.json", 0},
      {"timelines/broken-record.jsonl", "golden/replay-broken-record.json", 65},
  };
  const bool update = std::getenv("CORVLIN_UPDATE_GOLDEN") != nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeline);
    const HostRun run = runHost({"replay", dataPath(c.timeline), "--format", "json"});
    EXPECT_EQ(run.status, c.status) << run.err;
    if (update) std::ofstream(dataPath(c.golden), std::ios::binary) << run.out;
    EXPECT_EQ(run.out, readFile(dataPath(c.golden)))
        << "rewrite with CORVLIN_UPDATE_GOLDEN=1 if the change is meant";
  }
}

// What `describe` says of each step of a replay's JSON form, in order; a step of which it says
// nothing (an empty text) is left out.
template <class Describe>
std::vector<std::string> describeSteps(const std::string& json, Describe describe) {
  std::vector<std::string> out;
  simdjson::dom::parser parser;
  simdjson::dom::element document;
  if (parser.parse(json).get(document)) {
    ADD_FAILURE() << "not JSON: " << json.substr(0, 200);
    return out;
  }
  for (simdjson::dom::element step : document["steps"].get_array()) {
    if (std::string text = describe(step); !text.empty()) out.push_back(std::move(text));
  }
  return out;
}

// "start applied active", "dismissal applied dismissed", "#2 rejected active": each step.
std::vector<std::string> stepSummaries(const std::string& json) {
  return describeSteps(json, [](simdjson::dom::element step) {
    std::string line;
    std::string_view text;
    if (!step["event"].get(text)) line += std::string(text) + " ";
    if (step["event"].error()) line += "#" + std::to_string(int64_t(step["record"])) + " ";
    line += std::string(std::string_view(step["outcome"]));
    if (!step["reason"].get(text)) line += " (" + std::string(text) + ")";
    if (!step["state"].get(text)) line += " " + std::string(text);
    if (step["presentations"].error() == simdjson::SUCCESS) line += " +";
    return line;
  });
}

TEST(HostReplay, EachTimelineGivesItsStepsAndStatus) {
  struct Case {
    const char* timeline;
    int status;
    std::vector<std::string> steps;  // "+" marks a step with presentations
  };
  const std::vector<Case> cases{
      {"out-of-order.jsonl",
       0,
       {"start applied active +", "update applied active +",
        "update ignored (older than the last update) active +", "update applied active +",
        "end applied ended +",
        "dismissal applied (the dismissal date was not after the end) dismissed"}},
      {"after-end.jsonl",
       0,
       {"start applied active +", "end applied ended +",
        "update ignored (the activity has ended) ended +",
        "dismissal applied (the dismissal date was reached) dismissed",
        "update ignored (the activity was dismissed) dismissed"}},
      {"eight-hours.jsonl",
       0,
       {"start applied active +", "update applied active +", "update applied active +",
        "update applied active +", "systemEnd applied (eight hours after it started) ended +",
        "update ignored (the activity has ended) ended +",
        "dismissal applied (four hours after it ended) dismissed"}},
      {"milliseconds.jsonl",
       0,
       {"update applied (started by the app) active +", "update applied active +",
        "update ignored (older than the last update) active +",
        "systemEnd applied (eight hours after it started) ended +",
        "dismissal applied (four hours after it ended) dismissed"}},
      {"stale-refreshed.jsonl",
       0,
       {"start applied active +", "stale applied (the stale date was reached) stale +",
        "update applied active +", "stale applied (the stale date was reached) stale +",
        "end applied ended +", "dismissal applied (four hours after it ended) dismissed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeline);
    const HostRun run =
        runHost({"replay", dataPath(std::string("timelines/") + c.timeline), "--format", "json"});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(stepSummaries(run.out), c.steps);
  }
}

// Each record's warnings stand in its own step, with their paths from the record's root; the
// same warnings go to standard error with the record's index first.
TEST(HostReplay, AStepCarriesItsRecordsWarnings) {
  const HostRun run =
      runHost({"replay", dataPath("timelines/milliseconds.jsonl"), "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  simdjson::dom::parser parser;
  simdjson::dom::array steps;
  ASSERT_EQ(parser.parse(run.out)["steps"].get_array().get(steps), simdjson::SUCCESS);
  std::vector<std::string> paths;  // "STEP: PATH" for each warning of each step
  std::size_t index = 0;
  for (simdjson::dom::element step : steps) {
    simdjson::dom::array warnings;
    if (step["warnings"].get_array().get(warnings) == simdjson::SUCCESS) {
      for (simdjson::dom::element w : warnings) {
        paths.push_back(std::to_string(index) + ": " +
                        std::string(simdjson::minify(w["warning"]["codingPath"])));
      }
    }
    ++index;
  }
  EXPECT_EQ(paths, (std::vector<std::string>{R"(1: ["aps","timestamp"])",
                                             R"(1: ["aps","content-state","tone"])"}));
  EXPECT_NE(run.err.find(
                R"({"warning":{"kind":"millisecondsInstant","codingPath":[1,"aps","timestamp"])"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(runHost({"replay", dataPath("timelines/milliseconds.jsonl"), "--strict"}).status, 65);
}

TEST(HostReplay, ReadsAnArrayWithWrappedRecordsAndRejectsBrokenOnes) {
  const std::string envelope = R"({"aps":{"event":"update","timestamp":100,)" + state + "}}";
  const std::string timeline =
      "[" + envelope + R"(,{"payload":)" + envelope +
      R"(},{"at":150,"payload":{"aps":{"event":"end","timestamp":90}}},)" +
      R"({"at":160,"payload":{"aps":{"event":"end","timestamp":1},"pad":")" +
      std::string(4100, 'x') + R"("}}])";
  const HostRun run = runHost({"replay", "-", "--format", "json"}, timeline);
  EXPECT_EQ(run.status, 65) << run.err;
  EXPECT_EQ(stepSummaries(run.out),
            (std::vector<std::string>{
                "update applied (started by the app) active +", "#1 rejected active +",
                "end ignored (older than the last update) active +", "#3 rejected active +",
                "systemEnd applied (eight hours after it started) ended +",
                "dismissal applied (four hours after it ended) dismissed"}));
  EXPECT_NE(run.err.find(R"({"error":{"kind":"keyNotFound","codingPath":["at"],)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(R"({"error":{"kind":"payloadTooLarge","codingPath":["payload"],)"),
            std::string::npos)
      << run.err;
}

// A broadcast's steps name its channel, in the JSON form and in the text form's headlines; no
// other step does.
TEST(HostReplay, ABroadcastsStepsNameItsChannel) {
  const std::string timeline = dataPath("timelines/broadcast.jsonl");
  const HostRun run = runHost({"replay", timeline, "--format", "json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      stepSummaries(run.out),
      (std::vector<std::string>{
          "start applied active +", "update applied active +", "update applied active +",
          "update ignored (not subscribed to the channel) active +", "update applied active +",
          "end applied ended +", "dismissal applied (the dismissal date was reached) dismissed"}));
  const std::string match = "Q29ydmxpbk1hdGNoNDI=";
  EXPECT_EQ(describeSteps(run.out,
                          [](simdjson::dom::element step) {
                            std::string_view channel;
                            return step["channel"].get(channel) ? std::string("-")
                                                                : std::string(channel);
                          }),
            (std::vector<std::string>{"-", match, match, "T3RoZXJNYXRjaA==", "-", match, "-"}));
  const HostRun text = runHost({"replay", timeline});
  EXPECT_NE(text.out.find("record 3, broadcast on channel T3RoZXJNYXRjaA==, update ignored"),
            std::string::npos)
      << text.out;
}

TEST(HostReplay, OneExtensionProcessFailingOnAStepLeavesTheOthers) {
  // The stand-in serves every request from one process; a step titled "crash" kills it, that
  // step shows the failure, and a new process answers the rest.
  const std::string timeline =
      R"({"aps":{"event":"update","timestamp":100,"content-state":{"title":"a"}}})"
      "\n"
      R"({"aps":{"event":"update","timestamp":200,"content-state":{"title":"crash"}}})"
      "\n"
      R"({"aps":{"event":"end","timestamp":300,"content-state":{"title":"b"},"dismissal-date":300}})"
      "\n";
  const HostRun run =
      runHost({"replay", "-", "--format", "json", "--extension", binPath("faulty-extension")},
              timeline, {"CORVLIN_FAULT=by-title-each"});
  EXPECT_EQ(run.status, 69) << run.err;
  const auto summaries = stepSummaries(run.out);
  EXPECT_EQ(summaries,
            (std::vector<std::string>{
                "update applied (started by the app) active +", "update applied active",
                "end applied ended +",
                "dismissal applied (the dismissal date was not after the end) dismissed"}));
  EXPECT_NE(
      run.out.find(R"("extensionFailure":{"kind":"crashed","description":"the extension crashed)"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find(R"({"extensionFailure":{"kind":"crashed",)"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(R"(,"step":1}})"), std::string::npos) << run.err;
}

// Each visible step: "drawn", "failed", or "not asked" once the replay gave the extension up.
std::vector<std::string> drawings(const std::string& json) {
  return describeSteps(json, [](simdjson::dom::element step) -> std::string {
    std::string_view description;
    if (step["presentations"].error() == simdjson::SUCCESS) return "drawn";
    if (step["extensionFailure"]["description"].get(description)) return "";
    return description.find("this step was not drawn") == std::string_view::npos ? "failed"
                                                                                 : "not asked";
  });
}

TEST(HostReplay, GivesTheExtensionUpAfterThreeFailuresInARow) {
  struct Case {
    const char* name;
    std::vector<std::string> titles;  // one update each; the last is shown again at its end
    std::vector<std::string> extra;   // arguments
    std::vector<std::string> steps;
    const char* kind;  // of the failures
  };
  const std::vector<Case> cases{
      {"a crash on every step",
       {"crash", "crash", "crash", "crash", "crash"},
       {},
       {"failed", "failed", "failed", "not asked", "not asked", "not asked"},
       "crashed"},
      {"a hang on every step: three timeouts, not six",
       {"hang", "hang", "hang", "hang", "hang"},
       {"--timeout", "50"},
       {"failed", "failed", "failed", "not asked", "not asked", "not asked"},
       "timedOut"},
      {"a success between failures starts the count again",
       {"crash", "crash", "ok", "crash", "crash"},
       {},
       {"failed", "failed", "drawn", "failed", "failed", "failed"},
       "crashed"},
      {"once given up, a step it could draw is not asked either",
       {"ok", "crash", "crash", "crash", "ok"},
       {},
       {"drawn", "failed", "failed", "failed", "not asked", "not asked"},
       "crashed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string timeline;
    for (std::size_t i = 0; i < c.titles.size(); ++i) {
      timeline += R"({"aps":{"event":"update","timestamp":)" + std::to_string(100 * (i + 1)) +
                  R"(,"content-state":{"title":")" + c.titles[i] + R"("}}})" + "\n";
    }
    std::vector<std::string> arguments{"replay", "-",           "--format",
                                       "json",   "--extension", binPath("faulty-extension")};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const HostRun run = runHost(arguments, timeline, {"CORVLIN_FAULT=warm-by-title"});
    EXPECT_EQ(run.status, 69) << run.err;
    EXPECT_EQ(drawings(run.out), c.steps);
    const std::string kind = std::string(R"({"extensionFailure":{"kind":")") + c.kind + "\"";
    std::size_t lines = 0;
    for (std::size_t at = run.err.find(kind); at != std::string::npos;
         at = run.err.find(kind, at + 1)) {
      ++lines;
    }
    const auto count = [&](const char* drawing) {
      return static_cast<std::size_t>(std::count(c.steps.begin(), c.steps.end(), drawing));
    };
    const std::size_t notAsked = count("not asked");
    EXPECT_EQ(lines, count("failed") + (notAsked > 0 ? 1 : 0))
        << "one line for all the steps not asked:\n"
        << run.err;
    if (notAsked > 1) {
      EXPECT_NE(run.err.find("in a row, so the replay stopped asking it; this step was not drawn, "
                             "nor were the " +
                             std::to_string(notAsked - 1) + " visible step"),
                std::string::npos)
          << run.err;
    }
  }
}

TEST(HostReplay, UsageAndOutputFaults) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string err;
  };
  const std::vector<Case> cases{
      {"no timeline", {"replay"}, 64, "replay needs a TIMELINE"},
      {"--now", {"replay", "x", "--now", "5"}, 64, "--now is an option of render"},
      {"missing file", {"replay", "/nonexistent/timeline.jsonl"}, 66, ""},
      {"empty timeline", {"replay", "-"}, 65, "The timeline holds no record."},
      {"unwritable output",
       {"replay", dataPath("timelines/after-end.jsonl"), "--out", "/nonexistent/replay.html"},
       73,
       "cannot write /nonexistent/replay.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HostRun run = runHost(c.arguments, "\n\n");
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace corvlin::test
