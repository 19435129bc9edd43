// Scratch folders and certificate readers for the security tests.
#pragma once

#include <openssl/x509.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/security/openssl_handles.hpp"

namespace corvlin::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string readWhole(const std::filesystem::path& path);
void writeWhole(const std::filesystem::path& path, const std::string& contents);
unsigned modeOf(const std::filesystem::path& path);

// A fresh P-256 key in PEM, encrypted with a passphrase (PKCS#8, AES-256).
std::string encryptedKeyPem();

// Every certificate of a PEM text, in order.
std::vector<host::security::CertificateHandle> certificatesOf(const std::string& pem);

// Whether `leaf` verifies against `authority` alone, for a TLS server, at `when`.
bool verifiesAgainst(X509& leaf, X509& authority, long when);

}  // namespace corvlin::test
