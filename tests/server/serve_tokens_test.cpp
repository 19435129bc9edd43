// corvlin-host serve --tls with --auth-key: provider tokens checked over HTTP/2 on TLS as a
// push provider's server sends them, a client trusting only the local authority's ca.pem;
// without a key, only their form; and the authority's key guarded when serve starts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "h2_test_support.hpp"
#include "host/security/openssl_handles.hpp"
#include "serve_test_support.hpp"
#include "support/token_signing_support.hpp"
#include "tls_test_support.hpp"

namespace corvlin::test {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::pair<std::string, std::string>>;

const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
const std::string goodHeader = R"({"alg":"ES256","kid":"K"})";

std::string update(long timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

std::string claims(const std::string& issuer, const std::string& issuedAt) {
  return R"({"iss":")" + issuer + R"(","iat":)" + issuedAt + "}";
}

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A folder of its own with the provider's signing key in it, removed after the test.
class ServeTokens : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("corvlin-tokens-test-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string pem = freshKeyPem("P-256");
    key = host::security::readPrivateKeyPem(pem);
    otherKey = host::security::readPrivateKeyPem(freshKeyPem("P-256"));
    ASSERT_TRUE(key && otherKey);
    std::ofstream(folder / "AuthKey_K.p8") << pem;
    now = static_cast<long>(std::time(nullptr));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  fs::path state() const { return folder / "state"; }
  // Where the servers' standard error goes: the trust notice is not the test's to show.
  std::string errors() const { return (folder / "stderr.txt").string(); }

  std::vector<std::string> arguments(bool withKey) const {
    std::vector<std::string> all = {"--tls", "--state-dir", state().string()};
    if (withKey) {
      for (const std::string& more :
           {std::string("--auth-key"), (folder / "AuthKey_K.p8").string(), std::string("--key-id"),
            std::string("K"), std::string("--team-id"), std::string("T")}) {
        all.push_back(more);
      }
    }
    return all;
  }

  // HTTP/2 over TLS, trusting the authority in the state folder alone.
  std::unique_ptr<H2Client> connect(std::uint16_t port) const {
    TlsOptions options;
    options.authorityPem = readWhole(state() / "ca.pem");
    auto channel = std::make_unique<Channel>(port, options);
    EXPECT_TRUE(channel->ok());
    EXPECT_EQ(channel->alpn(), "h2");
    return std::make_unique<H2Client>(std::move(channel));
  }

  // "bearer " and a token the provider's key signed, or `by` when given.
  std::string bearer(const std::string& header, const std::string& claimsJson,
                     EVP_PKEY* by = nullptr) const {
    return "bearer " + signedToken(by != nullptr ? *by : *key, header, claimsJson);
  }
  std::string goodBearer() const { return bearer(goodHeader, claims("T", std::to_string(now))); }

  static H2Answer push(H2Client& client, const std::optional<std::string>& authorization,
                       const std::string& body) {
    Fields fields = {{"apns-push-type", "liveactivity"},
                     {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};
    if (authorization) fields.emplace_back("authorization", *authorization);
    return client.await(client.submit("POST", "/3/device/0a1b", "localhost", fields, body));
  }

  fs::path folder;
  host::security::KeyHandle key;
  host::security::KeyHandle otherKey;
  long now = 0;
};

// Every way a token is refused, each a 403 with its reason and an apns-id, and none of them
// taken as a push: the same update then sent with a good token is the first applied.
TEST_F(ServeTokens, RefusesEveryBadTokenWithItsReason) {
  ServeProcess serve(arguments(true), {}, errors());
  ASSERT_EQ(serve.firstLine().rfind("serving https://", 0), 0u) << serve.firstLine();
  auto client = connect(serve.port());
  const std::string good = goodBearer();
  const std::string token = good.substr(std::string("bearer ").size());
  const std::string headerPart = token.substr(0, token.find('.'));
  const std::string signaturePart = token.substr(token.rfind('.') + 1);
  struct Case {
    const char* name;
    std::optional<std::string> authorization;
    const char* reason;
  };
  const std::string fresh = std::to_string(now);
  const std::vector<Case> cases = {
      {"no authorization", std::nullopt, "MissingProviderToken"},
      {"an empty authorization", "", "MissingProviderToken"},
      {"not bearer", "basic " + token, "InvalidProviderToken"},
      {"no scheme", token, "InvalidProviderToken"},
      {"two parts", "bearer " + token.substr(0, token.rfind('.')), "InvalidProviderToken"},
      {"claims not base64url", "bearer " + headerPart + ".e30=." + signaturePart,
       "InvalidProviderToken"},
      {"alg HS256", bearer(R"({"alg":"HS256","kid":"K"})", claims("T", fresh)),
       "InvalidProviderToken"},
      {"another key id", bearer(R"({"alg":"ES256","kid":"L"})", claims("T", fresh)),
       "InvalidProviderToken"},
      {"another team", bearer(goodHeader, claims("U", fresh)), "InvalidProviderToken"},
      {"signed by another key", bearer(goodHeader, claims("T", fresh), otherKey.get()),
       "InvalidProviderToken"},
      {"iat a string", bearer(goodHeader, claims("T", "\"" + fresh + "\"")),
       "InvalidProviderToken"},
      {"iat ten minutes ahead", bearer(goodHeader, claims("T", std::to_string(now + 600))),
       "InvalidProviderToken"},
      {"iat over an hour ago", bearer(goodHeader, claims("T", std::to_string(now - 3700))),
       "ExpiredProviderToken"},
  };
  const std::string body = update(1767225510, "Order 42");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const H2Answer answer = push(*client, c.authorization, body);
    EXPECT_EQ(answer.status, 403u);
    EXPECT_EQ(answer.body, std::string(R"({"reason":")") + c.reason + R"("})");
    ASSERT_EQ(answer.headers.count("apns-id"), 1u);
    EXPECT_TRUE(std::regex_match(answer.headers.at("apns-id"), uuid));
  }
  const H2Answer accepted = push(*client, good, body);
  EXPECT_EQ(accepted.status, 200u) << accepted.body;
  EXPECT_EQ(member(accepted.body, {"outcome"}), "applied") << accepted.body;
}

// A good token lets the push through to the phone, whatever its verdict; one token serves for
// many pushes, and a copy of it with another signature is still refused.
TEST_F(ServeTokens, TakesAGoodTokenForEveryPushItSigns) {
  ServeProcess serve(arguments(true), {}, errors());
  auto client = connect(serve.port());
  const std::string good = goodBearer();
  struct Case {
    const char* name;
    std::string body;
    const char* outcome;
  };
  const std::vector<Case> cases = {
      {"a first update", update(1767225510, "A"), "applied"},
      {"an older one", update(1767225500, "B"), "ignored"},
      {"a payload that does not decode", R"({"aps":)", "rejected"},
      {"a newer one", update(1767225520, "C"), "applied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const H2Answer answer = push(*client, good, c.body);
    EXPECT_EQ(answer.status, 200u) << answer.body;
    EXPECT_EQ(member(answer.body, {"outcome"}), c.outcome) << answer.body;
    EXPECT_EQ(answer.body.find("missingProviderToken"), std::string::npos) << answer.body;
  }
  // The same token again, on this connection and on another.
  auto other = connect(serve.port());
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    H2Client& on = i % 2 == 0 ? *client : *other;
    const H2Answer answer = push(on, good, update(1767225530 + i, "Again"));
    EXPECT_EQ(answer.status, 200u) << answer.body;
    EXPECT_EQ(member(answer.body, {"outcome"}), "applied") << answer.body;
  }
  std::string forged = good;
  char& first = forged[forged.rfind('.') + 1];
  first = first == 'A' ? 'B' : 'A';
  const H2Answer refused = push(*client, forged, update(1767225540, "Forged"));
  EXPECT_EQ(refused.status, 403u);
  EXPECT_EQ(member(refused.body, {"reason"}), "InvalidProviderToken");
}

// Without --auth-key a push without a token is taken with a warning first; a token that is
// there must still be well formed, though any key may sign it.
TEST_F(ServeTokens, WithoutAKeyReadsTokensOnly) {
  ServeProcess serve(arguments(false), {}, errors());
  auto client = connect(serve.port());
  const H2Answer without = push(*client, std::nullopt, update(1767225510, "A"));
  EXPECT_EQ(without.status, 200u);
  EXPECT_EQ(member(without.body, {"outcome"}), "applied");
  EXPECT_EQ(member(without.body, {"warnings"})
                .rfind(R"([{"warning":{"kind":"missingProviderToken","codingPath":[])", 0),
            0u)
      << without.body;

  struct Case {
    const char* name;
    std::string authorization;
    unsigned status;
    const char* reason;
  };
  const std::string fresh = std::to_string(now);
  const std::vector<Case> cases = {
      {"not bearer", "basic abc", 403, "InvalidProviderToken"},
      {"two parts", "bearer abc.def", 403, "InvalidProviderToken"},
      {"iat a string", bearer(goodHeader, claims("T", "\"" + fresh + "\"")), 403,
       "InvalidProviderToken"},
      {"iat over an hour ago", bearer(goodHeader, claims("T", std::to_string(now - 3700))), 403,
       "ExpiredProviderToken"},
      {"any key, any ids",
       bearer(R"({"alg":"ES256","kid":"L"})", claims("U", fresh), otherKey.get()), 200, ""},
  };
  long timestamp = 1767225520;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const H2Answer answer = push(*client, c.authorization, update(timestamp++, "B"));
    EXPECT_EQ(answer.status, c.status) << answer.body;
    if (c.status == 200) {
      EXPECT_EQ(member(answer.body, {"outcome"}), "applied");
      EXPECT_EQ(answer.body.find("missingProviderToken"), std::string::npos) << answer.body;
    } else {
      EXPECT_EQ(answer.body, std::string(R"({"reason":")") + c.reason + R"("})");
      EXPECT_EQ(answer.headers.count("apns-id"), 1u);
    }
  }
}

// The authority's key readable by others: serve says which file and how to fix it, and does
// not start.
TEST_F(ServeTokens, RefusesToStartWithAnExposedAuthorityKey) {
  {
    ServeProcess first(arguments(true), {}, errors());
    ASSERT_EQ(first.firstLine().rfind("serving https://", 0), 0u) << first.firstLine();
  }
  const fs::path authorityKey = state() / "ca-key.pem";
  ASSERT_TRUE(fs::exists(authorityKey));
  ASSERT_EQ(::chmod(authorityKey.c_str(), 0644), 0);
  ServeProcess second(arguments(true), {}, errors());
  EXPECT_TRUE(second.firstLine().empty()) << second.firstLine();
  const int status = second.stop(0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 66);  // EX_NOINPUT
  const std::string said = readWhole(errors());
  EXPECT_NE(said.find(authorityKey.string()), std::string::npos) << said;
  EXPECT_NE(said.find("chmod 600"), std::string::npos) << said;
}

}  // namespace
}  // namespace corvlin::test
