#include "host/security/server_credentials.hpp"

#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <cmath>
#include <cstring>

#include "security_test_support.hpp"

namespace corvlin::host::security {
namespace {

namespace fs = std::filesystem;
using test::certificatesOf;
using test::readWhole;
using test::ScratchFolder;
using test::writeWhole;

constexpr double day = 86400;
constexpr double madeAt = 1'780'000'000;
constexpr double startedAt = madeAt + 30 * day;

class ServerCredentialsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto made = loadOrCreateAuthority(scratch.path() / "state", madeAt);
    ASSERT_TRUE(made) << made.error();
    authority = made.value();
    authorityCertificate = std::move(certificatesOf(authority.certificatePem).front());
  }

  ScratchFolder scratch;
  LocalAuthority authority;
  CertificateHandle authorityCertificate;
};

TEST_F(ServerCredentialsTest, TheLeafVerifiesForEveryNameOfTheServer) {
  struct Case {
    std::string bound;
    std::vector<std::string> hosts;     // X509_check_host must accept these
    std::vector<std::string> ips;       // X509_check_ip_asc must accept these
    std::vector<std::string> notNamed;  // and refuse these, as a host or an address
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", {"localhost"}, {"127.0.0.1", "::1"}, {"0.0.0.0", "example.com"}},
      {"[::1]", {"localhost"}, {"127.0.0.1", "::1", "0:0:0:0:0:0:0:1"}, {"::"}},
      {"192.0.2.7", {"localhost"}, {"127.0.0.1", "::1", "192.0.2.7"}, {"192.0.2.8"}},
      {"2001:db8::5", {"localhost"}, {"2001:db8::5"}, {"2001:db8::6"}},
      {"Dev-Box.example", {"localhost", "dev-box.example"}, {"::1"}, {"other.example"}},
      {"0.0.0.0", {"localhost"}, {"127.0.0.1"}, {"0.0.0.0"}},
      {"::", {"localhost"}, {"::1"}, {"::"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bound);
    const auto issued = issueLeaf(authority, c.bound, startedAt);
    ASSERT_TRUE(issued) << issued.error();
    const auto chain = certificatesOf(issued->certificateChainPem);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(X509_cmp(chain[1].get(), authorityCertificate.get()), 0);
    X509& leaf = *chain[0];
    EXPECT_TRUE(test::verifiesAgainst(leaf, *authorityCertificate, static_cast<long>(startedAt)));
    for (const std::string& host : c.hosts) {
      EXPECT_EQ(X509_check_host(&leaf, host.c_str(), host.size(), 0, nullptr), 1) << host;
    }
    for (const std::string& ip : c.ips) {
      EXPECT_EQ(X509_check_ip_asc(&leaf, ip.c_str(), 0), 1) << ip;
    }
    for (const std::string& other : c.notNamed) {
      EXPECT_NE(X509_check_ip_asc(&leaf, other.c_str(), 0), 1) << other;
      EXPECT_NE(X509_check_host(&leaf, other.c_str(), other.size(), 0, nullptr), 1) << other;
    }
    const KeyHandle key = readPrivateKeyPem(issued->privateKeyPem);
    ASSERT_TRUE(key);
    EXPECT_TRUE(isP256Key(*key));
    EXPECT_EQ(X509_check_private_key(&leaf, key.get()), 1);
  }
}

TEST_F(ServerCredentialsTest, TheLeafServesOnlyAndForAtMost397Days) {
  const auto issued = issueLeaf(authority, "127.0.0.1", startedAt);
  ASSERT_TRUE(issued) << issued.error();
  const auto chain = certificatesOf(issued->certificateChainPem);
  X509& leaf = *chain.front();
  EXPECT_EQ(X509_check_ca(&leaf), 0);
  EXPECT_EQ(X509_get_key_usage(&leaf), static_cast<uint32_t>(KU_DIGITAL_SIGNATURE));
  EXPECT_EQ(X509_get_extended_key_usage(&leaf), static_cast<uint32_t>(XKU_SSL_SERVER));
  EXPECT_EQ(X509_check_issued(authorityCertificate.get(), &leaf), X509_V_OK);
  const ASN1_OCTET_STRING* authorityId = X509_get0_subject_key_id(authorityCertificate.get());
  const ASN1_OCTET_STRING* referenced = X509_get0_authority_key_id(&leaf);
  ASSERT_NE(referenced, nullptr);
  EXPECT_EQ(ASN1_OCTET_STRING_cmp(authorityId, referenced), 0);

  int days = 0;
  int seconds = 0;
  ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(&leaf), X509_get0_notAfter(&leaf)),
            1);
  EXPECT_LE(days * day + seconds, 397 * day);
  const auto start = static_cast<time_t>(startedAt);
  time_t at = start;
  EXPECT_LT(X509_cmp_time(X509_get0_notBefore(&leaf), &at), 0);
  // Not valid before the server started by more than its hour of grace, nor after its term.
  EXPECT_FALSE(test::verifiesAgainst(leaf, *authorityCertificate, start - 7200));
  EXPECT_FALSE(
      test::verifiesAgainst(leaf, *authorityCertificate, start + static_cast<long>(398 * day)));
  // Every start gets a key and a certificate of its own.
  const auto again = issueLeaf(authority, "127.0.0.1", startedAt);
  ASSERT_TRUE(again);
  EXPECT_NE(again->privateKeyPem, issued->privateKeyPem);
}

TEST_F(ServerCredentialsTest, TheLeafEndsWithItsAuthority) {
  std::tm parts{};
  ASSERT_EQ(ASN1_TIME_to_tm(X509_get0_notAfter(authorityCertificate.get()), &parts), 1);
  const std::time_t authorityEnd = timegm(&parts);

  const auto late = issueLeaf(authority, "127.0.0.1", static_cast<double>(authorityEnd) - 10 * day);
  ASSERT_TRUE(late) << late.error();
  const auto chain = certificatesOf(late->certificateChainPem);
  X509& leaf = *chain.front();
  EXPECT_EQ(
      ASN1_TIME_compare(X509_get0_notAfter(&leaf), X509_get0_notAfter(authorityCertificate.get())),
      0);

  const auto expired = issueLeaf(authority, "127.0.0.1", static_cast<double>(authorityEnd) + 1);
  ASSERT_FALSE(expired);
  EXPECT_NE(expired.error().find("has expired"), std::string::npos) << expired.error();
  EXPECT_NE(expired.error().find("ca.pem"), std::string::npos) << expired.error();

  for (const double impossible : {std::nan(""), -1.0, 1e20}) {
    const auto refused = issueLeaf(authority, "127.0.0.1", impossible);
    ASSERT_FALSE(refused) << impossible;
    EXPECT_NE(refused.error().find("the clock"), std::string::npos) << refused.error();
  }
}

TEST_F(ServerCredentialsTest, AnAddressThatIsNoNameIsRefused) {
  for (const std::string& bad :
       std::vector<std::string>{"", "a b", "host,DNS:evil.example", "-.", "a..b", "x.",
                                std::string(64, 'a') + ".example", "ex\xc3\xa4mple"}) {
    const auto issued = issueLeaf(authority, bad, startedAt);
    ASSERT_FALSE(issued) << bad;
    EXPECT_NE(issued.error().find("neither an IP address nor a host name"), std::string::npos);
  }
}

TEST_F(ServerCredentialsTest, TheUsersOwnCertificateIsLoadedWithItsKey) {
  const auto issued = issueLeaf(authority, "127.0.0.1", startedAt);
  const auto other = issueLeaf(authority, "127.0.0.1", startedAt);
  ASSERT_TRUE(issued && other);
  const fs::path cert = scratch.path() / "cert.pem";
  const fs::path key = scratch.path() / "key.pem";
  writeWhole(cert, "# the server's chain\n" + issued->certificateChainPem);
  writeWhole(key, issued->privateKeyPem);
  const auto loaded = loadUserCertificate(cert, key);
  ASSERT_TRUE(loaded) << loaded.error();
  EXPECT_EQ(*loaded, *issued);

  struct Case {
    std::string name;
    std::string certificate;
    std::string privateKey;
    std::string expected;
  };
  const std::string& chain = issued->certificateChainPem;
  const std::vector<Case> cases = {
      {"another key", chain, other->privateKeyPem, "key.pem is not the key of the certificate"},
      {"no certificate", "hello\n", issued->privateKeyPem, "cert.pem holds no PEM certificate"},
      {"a broken second certificate", chain.substr(0, chain.size() - 80) + "\n",
       issued->privateKeyPem, "cert.pem holds no PEM certificate, or a broken one"},
      {"no key", chain, "hello\n", "key.pem holds no PEM private key"},
      {"an oversized chain", chain + std::string(std::size_t{64} * 1024, '#'),
       issued->privateKeyPem, "cert.pem is larger than 65536 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeWhole(cert, c.certificate);
    writeWhole(key, c.privateKey);
    const auto refused = loadUserCertificate(cert, key);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find(c.expected), std::string::npos) << refused.error();
  }
  const auto missing = loadUserCertificate(scratch.path() / "none.pem", key);
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().find("none.pem does not exist"), std::string::npos);
}

}  // namespace
}  // namespace corvlin::host::security
