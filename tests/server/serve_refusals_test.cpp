// corvlin-host serve: every push it refuses, and every save of the watched file it does not take,
// is in the page's log, on the event stream and on one line of standard error, with what the
// check found; and a watched activity that ended begins again on a save that starts one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "host/security/openssl_handles.hpp"
#include "serve_test_support.hpp"
#include "support/token_signing_support.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Reads events until one that `wanted` takes, which it gives; empty when none came.
std::string nextWhere(EventReader& events, const std::function<bool(const std::string&)>& wanted) {
  for (std::string event = events.next(); !event.empty(); event = events.next()) {
    if (wanted(event)) return event;
  }
  return {};
}

// Standard error's lines that begin with `start`, once `count` of them are there (or 10 s).
std::vector<std::string> linesStarting(const fs::path& errors, const std::string& start,
                                       std::size_t count) {
  std::vector<std::string> found;
  for (int attempt = 0; attempt < 200; ++attempt) {
    found.clear();
    for (const std::string& line : linesOf(errors)) {
      if (line.starts_with(start)) found.push_back(line);
    }
    if (found.size() >= count) break;
    ::usleep(50'000);
  }
  return found;
}

TEST(ServeRefusals, EveryRefusedPushIsInThePagesLogTheEventsAndALineOfStandardError) {
  Scratch scratch("refusals");
  const std::string pem = freshKeyPem("P-256");
  const auto key = host::security::readPrivateKeyPem(pem);
  ASSERT_TRUE(key);
  std::ofstream(scratch.root / "AuthKey_K.p8") << pem;
  const fs::path errors = scratch.root / "stderr";
  ServeProcess serve(
      {"--auth-key", (scratch.root / "AuthKey_K.p8").string(), "--key-id", "K", "--team-id", "T"},
      {}, errors.string());
  EventReader events(serve.port());
  const long now = static_cast<long>(std::time(nullptr));
  const auto bearer = [&](long issuedAt) {
    return "bearer " + signedToken(*key, R"({"alg":"ES256","kid":"K"})",
                                   R"({"iss":"T","iat":)" + std::to_string(issuedAt) + "}");
  };
  const std::string body = R"({"aps":{"event":"update","timestamp":)" + std::to_string(now) +
                           R"(,"content-state":{"title":"Refused"}}})";
  struct Case {
    const char* name;
    const char* method;
    std::optional<std::string> authorization;
    std::string body;
    const char* status;
    const char* reason;
    const char* detail;  // a part of what the check found; the whole is the events' "detail"
  };
  const std::vector<Case> cases = {
      {"no token", "POST", std::nullopt, body, "403", "MissingProviderToken",
       "the push has no authorization header"},
      {"not a token", "POST", "bearer not-a-token", body, "403", "InvalidProviderToken", "token"},
      {"expired", "POST", bearer(now - 7200), body, "403", "ExpiredProviderToken",
       " s ago; make a new one at least every 3600 s"},
      {"from the future", "POST", bearer(now + 120), body, "403", "InvalidProviderToken",
       " s ahead of the server's clock (at most 60 s is tolerated)"},
      {"too large", "POST", bearer(now), std::string(5000, ' '), "413", "PayloadTooLarge", ""},
      {"not POST", "PUT", bearer(now), body, "405", "MethodNotAllowed",
       "a push is POST /3/device/TOKEN; this was PUT"},
  };
  std::vector<std::string> details;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeaderList headers = {{"apns-push-type", "liveactivity"},
                          {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};
    if (c.authorization) headers.emplace_back("authorization", *c.authorization);
    EXPECT_EQ(
        std::to_string(send(serve.port(), c.method, "/3/device/0A1B", headers, c.body).status),
        c.status);
    const std::string event = events.next();
    EXPECT_EQ(member(event, {"token"}), "0a1b");
    EXPECT_EQ(member(event, {"refusal"}), c.reason);
    EXPECT_EQ(member(event, {"status"}), c.status);
    const std::string detail = member(event, {"detail"});
    EXPECT_NE(detail.find(c.detail), std::string::npos) << event;
    EXPECT_EQ(std::string(c.detail).empty(), detail.empty()) << event;
    EXPECT_EQ(member(event, {"log", "outcome"}), "refused");
    const std::string logged = detail.empty() ? c.reason : c.reason + (": " + detail);
    EXPECT_EQ(member(event, {"log", "detail"}), logged);
    details.push_back(logged);
  }

  const std::string page = send(serve.port(), "GET", "/").body;
  std::size_t marked = 0;
  // The attribute of a row (the stylesheet names it in brackets).
  const std::string row = R"( data-outcome="refused")";
  for (auto at = page.find(row); at != std::string::npos; at = page.find(row, at + 1)) {
    ++marked;
  }
  EXPECT_EQ(marked, cases.size()) << "each a row of the log marked refused";
  for (const Case& c : cases) {
    // Each with its reason and detail (the page escapes the apostrophes: the part before them).
    const std::string detail(c.detail);
    EXPECT_NE(page.find(detail.substr(0, detail.find('\''))), std::string::npos) << c.name;
    EXPECT_NE(page.find(c.reason), std::string::npos) << c.name;
  }

  const std::vector<std::string> lines = linesStarting(errors, R"({"refusal":)", cases.size());
  ASSERT_EQ(lines.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(member(lines[i], {"refusal", "status"}), cases[i].status);
    EXPECT_EQ(member(lines[i], {"refusal", "reason"}), cases[i].reason);
    EXPECT_EQ(member(lines[i], {"refusal", "token"}), "0a1b");
    const std::string detail = member(lines[i], {"refusal", "detail"});
    EXPECT_EQ(detail.empty() ? std::string(cases[i].reason) : cases[i].reason + (": " + detail),
              details[i]);
  }
}

// An editor's save: the contents written beside the file, then renamed onto it.
void saveByRename(const fs::path& file, const std::string& contents) {
  const fs::path temporary = file.parent_path() / ("." + file.filename().string() + ".swp");
  std::ofstream(temporary, std::ios::binary) << contents;
  fs::rename(temporary, file);
}

TEST(ServeRefusals, AWatchedActivityThatEndedBeginsAgainAndASaveNotTakenIsSaid) {
  Scratch scratch("watch-again");
  const fs::path file = scratch.root / "activity.json";
  const fs::path errors = scratch.root / "stderr";
  ServeProcess serve({"--watch", file.string()}, {}, errors.string());
  EventReader events(serve.port());
  const long now = static_cast<long>(std::time(nullptr));
  const auto stepOf = [&events] {
    return nextWhere(events, [](const std::string& e) { return !member(e, {"step"}).empty(); });
  };
  saveByRename(file, R"({"title":"First"})");
  EXPECT_EQ(member(stepOf(), {"step", "outcome"}), "applied");
  saveByRename(file, R"({"aps":{"event":"end","timestamp":)" + std::to_string(now + 5) +
                         R"(,"content-state":{"title":"Done"}}})");
  EXPECT_EQ(member(stepOf(), {"state"}), "ended");
  saveByRename(file, R"({"aps":{"event":"update","timestamp":)" + std::to_string(now + 10) +
                         R"(,"content-state":{"title":"Late"}}})");
  const std::string ignored = stepOf();
  EXPECT_EQ(member(ignored, {"step", "outcome"}), "ignored");
  EXPECT_EQ(member(ignored, {"step", "reason"}), "the activity has ended");
  saveByRename(file, R"({"title":)");
  EXPECT_EQ(member(stepOf(), {"step", "outcome"}), "rejected");

  saveByRename(file, R"({"title":"Again"})");
  const std::string note = "the watched activity had ended; this save begins a new one";
  EXPECT_EQ(member(events.next(), {"watch"}), note);
  EXPECT_EQ(member(events.next(), {"reclaimed"}), "true") << "the ended one leaves the page";
  const std::string begun = events.next();
  EXPECT_EQ(member(begun, {"push"}), "1") << begun;
  EXPECT_EQ(member(begun, {"step", "outcome"}), "applied");
  EXPECT_EQ(member(begun, {"state"}), "active");
  EXPECT_NE(member(events.nextDrawing(), {"html"}).find("Again"), std::string::npos);

  const std::vector<std::string> notTaken = linesStarting(errors, R"({"watch":)", 2);
  ASSERT_EQ(notTaken.size(), 2u);
  EXPECT_EQ(notTaken[0],
            R"({"watch":{"event":"update","outcome":"ignored","detail":"the activity has ended",)"
            R"("token":"0"}})");
  EXPECT_EQ(member(notTaken[1], {"watch", "outcome"}), "rejected");
  EXPECT_NE(member(notTaken[1], {"watch", "detail"}).find("dataCorrupted"), std::string::npos)
      << notTaken[1];
  EXPECT_EQ(linesStarting(errors, "corvlin-host: --watch: " + note, 1).size(), 1u);
}

}  // namespace
}  // namespace corvlin::test
