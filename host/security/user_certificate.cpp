#include <openssl/err.h>
#include <openssl/pem.h>

#include <climits>
#include <vector>

#include "host/security/openssl_handles.hpp"
#include "host/security/secure_files.hpp"
#include "host/security/server_credentials.hpp"

namespace corvlin::host::security {

namespace fs = std::filesystem;

namespace {

// Every certificate of a PEM text, in order; empty when it holds none or a broken one.
std::vector<CertificateHandle> readChain(const std::string& text) {
  std::vector<CertificateHandle> chain;
  const BioHandle bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  if (!bio) return chain;
  for (;;) {
    CertificateHandle certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate) break;
    chain.push_back(std::move(certificate));
  }
  // The loop ends at the end of the text (no start line) or at a broken certificate.
  const unsigned long last = ERR_peek_last_error();
  const bool endOfText =
      ERR_GET_LIB(last) == ERR_LIB_PEM && ERR_GET_REASON(last) == PEM_R_NO_START_LINE;
  if (!endOfText && last != 0) chain.clear();
  ERR_clear_error();
  return chain;
}

}  // namespace

Result<ServerCredentials, std::string> loadUserCertificate(const fs::path& certificatePath,
                                                           const fs::path& keyPath) {
  auto certificateText = readBoundedFile(certificatePath);
  if (!certificateText) return Failure{std::move(certificateText).error()};
  auto keyText = readBoundedFile(keyPath);
  if (!keyText) return Failure{std::move(keyText).error()};

  const std::vector<CertificateHandle> chain = readChain(certificateText.value());
  if (chain.empty()) {
    return Failure{certificatePath.string() + " holds no PEM certificate, or a broken one"};
  }
  const KeyHandle key = readPrivateKeyPem(keyText.value());
  if (!key) return Failure{unreadableKeyMessage(keyText.value(), keyPath.string())};
  if (X509_check_private_key(chain.front().get(), key.get()) != 1) {
    cryptoReason();
    return Failure{keyPath.string() + " is not the key of the certificate in " +
                   certificatePath.string()};
  }
  ServerCredentials credentials{{}, privateKeyPem(*key)};
  for (const CertificateHandle& certificate : chain) {
    credentials.certificateChainPem += certificatePem(*certificate);
  }
  if (credentials.privateKeyPem.empty()) {
    return Failure{"cannot write the key of " + keyPath.string() + " as PEM: " + cryptoReason()};
  }
  return credentials;
}

}  // namespace corvlin::host::security
