#include "security_test_support.hpp"

#include <openssl/pem.h>
#include <openssl/x509_vfy.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace corvlin::test {

namespace fs = std::filesystem;
using host::security::BioHandle;
using host::security::CertificateHandle;

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "corvlin-security-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void writeWhole(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

unsigned modeOf(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return 0xffff;
  return status.st_mode & 07777;
}

std::string encryptedKeyPem() {
  const host::security::KeyHandle key = host::security::generateP256Key();
  const BioHandle bio(BIO_new(BIO_s_mem()));
  char passphrase[] = "secret";
  if (!key || !bio ||
      PEM_write_bio_PKCS8PrivateKey(bio.get(), key.get(), EVP_aes_256_cbc(), passphrase, 6, nullptr,
                                    nullptr) != 1) {
    throw std::runtime_error("cannot write an encrypted key");
  }
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

std::vector<CertificateHandle> certificatesOf(const std::string& pem) {
  std::vector<CertificateHandle> certificates;
  const BioHandle bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  while (X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    certificates.emplace_back(certificate);
  }
  host::security::cryptoReason();
  return certificates;
}

bool verifiesAgainst(X509& leaf, X509& authority, long when) {
  const std::unique_ptr<X509_STORE, host::security::FreeWith<X509_STORE_free>> store(
      X509_STORE_new());
  const std::unique_ptr<X509_STORE_CTX, host::security::FreeWith<X509_STORE_CTX_free>> context(
      X509_STORE_CTX_new());
  if (!store || !context || X509_STORE_add_cert(store.get(), &authority) != 1 ||
      X509_STORE_CTX_init(context.get(), store.get(), &leaf, nullptr) != 1) {
    return false;
  }
  X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
  X509_STORE_CTX_set_time(context.get(), 0, static_cast<time_t>(when));
  const bool verified = X509_verify_cert(context.get()) == 1;
  host::security::cryptoReason();
  return verified;
}

}  // namespace corvlin::test
