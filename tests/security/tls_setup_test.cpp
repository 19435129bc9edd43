#include "host/security/tls_setup.hpp"

#include <gtest/gtest.h>

#include <map>

#include "host/security/provider_token_check.hpp"
#include "security_test_support.hpp"
#include "support/token_signing_support.hpp"

namespace corvlin::host::security {
namespace {

namespace fs = std::filesystem;
constexpr double startedAt = 1'780'000'000;

EnvironmentLookup environmentOf(std::map<std::string, std::string> variables) {
  return [variables](std::string_view name) -> std::optional<std::string> {
    const auto found = variables.find(std::string(name));
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(TlsSetup, ChoosesTheUsersCertificateOrTheAuthority) {
  const test::ScratchFolder scratch;
  const fs::path xdg = scratch.path() / "xdg";
  // The user's own pair, issued by an authority elsewhere.
  const auto elsewhere = loadOrCreateAuthority(scratch.path() / "elsewhere", startedAt);
  ASSERT_TRUE(elsewhere);
  const auto own = issueLeaf(*elsewhere, "127.0.0.1", startedAt);
  ASSERT_TRUE(own);
  test::writeWhole(scratch.path() / "cert.pem", own->certificateChainPem);
  test::writeWhole(scratch.path() / "key.pem", own->privateKeyPem);

  struct Case {
    std::string name;
    TlsOptions options;
    std::map<std::string, std::string> environment;
    std::string noticeNames;  // the ca.pem the notice names; empty: no notice
    std::string error;        // part of the error; empty: succeeds
  };
  const std::vector<Case> cases = {
      {"--state-dir",
       {scratch.path() / "given", {}, {}, "127.0.0.1"},
       {{"HOME", "/nowhere"}},
       (scratch.path() / "given" / "ca.pem").string(),
       ""},
      {"XDG_STATE_HOME",
       {{}, {}, {}, "::1"},
       {{"XDG_STATE_HOME", xdg.string()}},
       (xdg / "corvlin" / "ca.pem").string(),
       ""},
      {"--cert and --key",
       {{}, scratch.path() / "cert.pem", scratch.path() / "key.pem", "127.0.0.1"},
       {{"XDG_STATE_HOME", (scratch.path() / "untouched").string()}},
       "",
       ""},
      {"--cert alone",
       {{}, scratch.path() / "cert.pem", {}, "127.0.0.1"},
       {},
       "",
       "--cert needs --key"},
      {"--key alone",
       {{}, {}, scratch.path() / "key.pem", "127.0.0.1"},
       {},
       "",
       "--key needs --cert"},
      {"no state folder", {{}, {}, {}, "127.0.0.1"}, {}, "", "--state-dir"},
      {"an address that is no name",
       {scratch.path() / "given", {}, {}, "a b"},
       {},
       "",
       "neither an IP address nor a host name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto setup = prepareTls(c.options, environmentOf(c.environment), startedAt);
    if (!c.error.empty()) {
      ASSERT_FALSE(setup);
      EXPECT_NE(setup.error().find(c.error), std::string::npos) << setup.error();
      continue;
    }
    ASSERT_TRUE(setup) << setup.error();
    const auto chain = test::certificatesOf(setup->credentials.certificateChainPem);
    ASSERT_EQ(chain.size(), 2u);
    if (c.noticeNames.empty()) {
      EXPECT_EQ(setup->credentials, *own);
      EXPECT_EQ(setup->notice, "");
      EXPECT_FALSE(fs::exists(scratch.path() / "untouched"));
    } else {
      EXPECT_NE(setup->notice.find("--cacert " + c.noticeNames), std::string::npos)
          << setup->notice;
      const auto authority = test::certificatesOf(test::readWhole(c.noticeNames));
      ASSERT_EQ(authority.size(), 1u);
      EXPECT_TRUE(test::verifiesAgainst(*chain[0], *authority[0], static_cast<long>(startedAt)));
    }
  }
}

TEST(ProviderKeyOptions, GoTogetherOrNotAtAll) {
  const test::ScratchFolder scratch;
  const fs::path key = scratch.path() / "AuthKey.p8";
  test::writeWhole(key, test::freshKeyPem("P-256"));
  struct Case {
    ProviderKeyOptions options;
    bool hasKey;
    std::string error;  // part of the error; empty: succeeds
  };
  const std::vector<Case> cases = {
      {{}, false, ""},
      {{key, "KEY", "TEAM"}, true, ""},
      {{key, {}, "TEAM"}, false, "--auth-key needs --key-id and --team-id"},
      {{key, "KEY", {}}, false, "--auth-key needs --key-id and --team-id"},
      {{{}, "KEY", {}}, false, "go with --auth-key"},
      {{{}, {}, "TEAM"}, false, "go with --auth-key"},
      {{scratch.path() / "missing.p8", "KEY", "TEAM"}, false, "missing.p8 does not exist"},
  };
  for (const Case& c : cases) {
    const auto verifier = makeProviderTokenVerifier(c.options);
    if (c.error.empty()) {
      ASSERT_TRUE(verifier) << verifier.error();
      EXPECT_EQ(verifier->hasKey(), c.hasKey);
    } else {
      ASSERT_FALSE(verifier);
      EXPECT_NE(verifier.error().find(c.error), std::string::npos) << verifier.error();
    }
  }
}

}  // namespace
}  // namespace corvlin::host::security
