// TLS for tests: a throwaway certificate authority and a server certificate it issued, made
// with libcrypto in memory, and a client connection (plain or TLS) with bounded waits.
#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvlin::test {

// An authority, and a certificate for "localhost" and 127.0.0.1 issued by it.
struct TestCertificates {
  std::string authorityPem;  // the authority's certificate, the one a client trusts
  std::string chainPem;      // the server's certificate, then the authority's
  std::string keyPem;        // the server's private key
};
const TestCertificates& testCertificates();
// A new authority and certificate, unrelated to the ones above.
TestCertificates makeTestCertificates();

// Writes the chain and the key to files for `serve --cert --key`; their paths.
struct CertificateFiles {
  std::string chain;
  std::string key;
};
CertificateFiles writeCertificateFiles(const std::string& folder);

struct TlsOptions {
  std::vector<std::string> alpn = {"h2"};  // offered in this order; empty: no ALPN
  std::string authorityPem;                // trusted alone; empty: the test authority
  std::string verifyName = "localhost";    // a DNS name or an IP address
  int maxVersion = 0;                      // e.g. TLS1_1_VERSION; 0: the library's highest
  int minVersion = 0;
};

// A connection to 127.0.0.1:PORT that reads and writes bytes, over TLS or not. Every read
// waits at most 10 s.
class Channel {
 public:
  explicit Channel(std::uint16_t port);                    // plain TCP
  Channel(std::uint16_t port, const TlsOptions& options);  // TLS, handshake done
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // False when the TLS handshake (or the connection) failed.
  bool ok() const { return ok_; }
  // The protocol ALPN chose; empty when none.
  std::string alpn() const;
  bool write(std::string_view bytes);
  // Up to `atMost` bytes; empty at the end, on an error or after the wait.
  std::string read(std::size_t atMost = 16384);

 private:
  int fd_ = -1;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  bool ok_ = false;
};

}  // namespace corvlin::test
