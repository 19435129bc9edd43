// staleOnArrival: a push whose stale-date is already past when it is sent or when it arrives, so
// the phone shows the activity as stale at once. Judged by the shared checks against the
// envelope's timestamp and, where the command has one, the instant the push arrives.
#include <gtest/gtest.h>
#include <simdjson.h>

#include "host/checks/envelope_warnings.hpp"
#include "host/replay/timeline.hpp"
#include "json/number_format.hpp"
#include "json/parse.hpp"
#include "updates/envelope_coding.hpp"

namespace corvlin::host {
namespace {

constexpr double sent = 1767225600;  // 2026-01-01 00:00:00 UTC

std::string envelope(const std::string& event, double timestamp, const std::string& more) {
  std::string body = R"({"aps":{"event":")" + event + R"(","timestamp":)";
  json::appendNumber(body, timestamp);
  return body + R"(,"content-state":{"title":"t"})" + more + "}}";
}

std::vector<Warning> staleWarnings(const std::string& body, std::optional<Instant> arrivedAt) {
  simdjson::dom::parser parser;
  auto root = json::parse(parser, body);
  EXPECT_TRUE(root.ok()) << body;
  auto decoded = updates::decodeEnvelope(body);
  EXPECT_TRUE(decoded.ok()) << body;
  if (!root || !decoded) return {};
  std::vector<Warning> out;
  for (Warning& w : envelopeWarnings(root.value(), decoded.value(), std::nullopt, arrivedAt)) {
    if (w.kind == Warning::Kind::staleOnArrival) out.push_back(std::move(w));
  }
  return out;
}

TEST(StaleOnArrival, SaysWhenTheStaleDateWasAndWhatThePhoneShows) {
  struct Case {
    const char* name;
    std::string body;
    std::optional<Instant> arrivedAt;
    std::string description;  // empty: no warning
  };
  const std::string staleAt = R"(,"stale-date":)";
  // clang-format off
  const Case cases[] = {
      {"before the timestamp", envelope("update", sent, staleAt + "1767225300"), std::nullopt,
       "The stale-date 1767225300 (2025-12-31 23:55:00 UTC) is 5 minutes before the timestamp "
       "1767225600 (2026-01-01 00:00:00 UTC), so the update is stale when it is sent."},
      {"at the timestamp", envelope("update", sent, staleAt + "1767225600"), std::nullopt,
       "The stale-date 1767225600 (2026-01-01 00:00:00 UTC) is the timestamp itself, so the "
       "update is stale when it is sent."},
      {"the timestamp goes first", envelope("update", sent, staleAt + "1767225590"), Instant{sent + 3600},
       "The stale-date 1767225590 (2025-12-31 23:59:50 UTC) is 10 s before the timestamp "
       "1767225600 (2026-01-01 00:00:00 UTC), so the update is stale when it is sent."},
      {"past when it arrives", envelope("update", sent, staleAt + "1767229200"), Instant{sent + 2 * 86400},
       "The stale-date 1767229200 (2026-01-01 01:00:00 UTC) is already about 47 hours past when the "
       "push arrives at 2026-01-03 00:00:00 UTC."},
      {"at the instant it arrives", envelope("update", sent, staleAt + "1767225660"), Instant{sent + 60},
       "The stale-date 1767225660 (2026-01-01 00:01:00 UTC) is the instant the push arrives, "
       "2026-01-01 00:01:00 UTC."},
      {"ahead when it arrives", envelope("update", sent, staleAt + "1767225661"), Instant{sent + 60}, ""},
      {"ahead, with no arrival to judge by", envelope("update", sent, staleAt + "1767225601"), std::nullopt, ""},
      {"no stale-date", envelope("update", sent, ""), Instant{sent + 86400}, ""},
      // An end reads no stale-date.
      {"on an end", envelope("end", sent, staleAt + "1767225000"), Instant{sent}, ""},
      // Milliseconds have warnings of their own; a timestamp in them tells nothing of the sending.
      {"stale-date in milliseconds", envelope("update", sent, staleAt + "1767229200000"), Instant{sent}, ""},
      {"timestamp in milliseconds", envelope("update", sent * 1000, staleAt + "1767225300"), std::nullopt, ""},
      {"timestamp in milliseconds, judged by the arrival", envelope("update", sent * 1000, staleAt + "1767225300"),
       Instant{sent}, "The stale-date 1767225300 (2025-12-31 23:55:00 UTC) is already 5 minutes past "
       "when the push arrives at 2026-01-01 00:00:00 UTC."},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto warnings = staleWarnings(c.body, c.arrivedAt);
    if (c.description.empty()) {
      for (const Warning& w : warnings) ADD_FAILURE() << warningJson(w);
      continue;
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].codingPath, (CodingPath{"aps", "stale-date"}));
    EXPECT_EQ(warnings[0].description, c.description);
    EXPECT_EQ(warnings[0].hint.rfind("the phone shows the activity as stale as soon as it applies "
                                     "this update; give a stale-date ",
                                     0),
              0u)
        << warnings[0].hint;
  }
}

TEST(StaleOnArrival, TheFirstFormJudgesByTheInstantItDrawsFor) {
  const std::string body = envelope("update", sent, R"(,"stale-date":1767225900)");
  simdjson::dom::parser parser;
  const auto root = json::parse(parser, body).value();
  const auto decoded = updates::decodeEnvelope(body).value();
  std::vector<Warning::Kind> kinds;
  for (const Warning& w : envelopeWarnings(root, decoded, Instant{sent + 600})) {
    kinds.push_back(w.kind);
  }
  EXPECT_EQ(kinds, std::vector{Warning::Kind::staleOnArrival});
  EXPECT_TRUE(envelopeWarnings(root, decoded).empty()) << "no instant, and after the timestamp";
}

// A replay judges each record at the instant the rules apply it: its "at", its timestamp, or the
// latest instant reached before it.
TEST(StaleOnArrival, AReplayJudgesEachRecordWhenItIsApplied) {
  const std::string staleAt = R"(,"stale-date":1767225700)";
  struct Case {
    const char* name;
    std::string timeline;
    std::vector<CodingPath> paths;  // of the staleOnArrival warnings, record by record
  };
  const CodingPath none;
  const CodingPath plain{"aps", "stale-date"};
  const CodingPath wrapped{"payload", "aps", "stale-date"};
  const Case cases[] = {
      {"arriving at its timestamp", envelope("update", sent, staleAt), {none}},
      {"arriving later",
       R"({"at":1767226000,"payload":)" + envelope("update", sent, staleAt) + "}",
       {wrapped}},
      {"arriving earlier than its stale-date",
       R"({"at":1767225650,"payload":)" + envelope("update", sent, staleAt) + "}",
       {none}},
      {"in milliseconds, right after a later record",
       envelope("update", 1767226000, "") + "\n" + envelope("update", sent * 1000, staleAt),
       {none, plain}},
      {"at its own instant, when time has already passed it",
       envelope("update", 1767226000, "") + "\n" + envelope("update", sent, staleAt),
       {none, plain}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto timeline = readTimeline(c.timeline);
    ASSERT_TRUE(timeline.ok());
    std::vector<CodingPath> paths;
    for (const auto& warnings : timeline.value().warnings) {
      paths.emplace_back();
      for (const Warning& w : warnings) {
        if (w.kind == Warning::Kind::staleOnArrival) paths.back() = w.codingPath;
      }
    }
    EXPECT_EQ(paths, c.paths);
  }
}

}  // namespace
}  // namespace corvlin::host
