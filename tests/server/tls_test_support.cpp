#include "tls_test_support.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace corvlin::test {
namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"));
  check(key != nullptr, "EC key");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  check(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

Certificate issue(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                  long serial, bool authority) {
  Certificate certificate(X509_new());
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 7 * 24 * 3600);
  X509_set_pubkey(certificate.get(), key);
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : certificate.get();
  X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
  if (authority) {
    addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    addExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
    addExtension(certificate.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    addExtension(certificate.get(), signer, NID_authority_key_identifier, "keyid");
  }
  check(X509_sign(certificate.get(), issuerKey, EVP_sha256()) > 0, "signature");
  return certificate;
}

std::string pem(X509* certificate) {
  Bio bio(BIO_new(BIO_s_mem()));
  PEM_write_bio_X509(bio.get(), certificate);
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return {data, static_cast<std::size_t>(length)};
}

std::string pem(EVP_PKEY* key) {
  Bio bio(BIO_new(BIO_s_mem()));
  PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return {data, static_cast<std::size_t>(length)};
}

}  // namespace

TestCertificates makeTestCertificates() {
  const Key authorityKey = newKey();
  const Certificate authority =
      issue(authorityKey.get(), "corvlin test authority", nullptr, authorityKey.get(), 1, true);
  const Key serverKey = newKey();
  const Certificate server =
      issue(serverKey.get(), "localhost", authority.get(), authorityKey.get(), 2, false);
  return {pem(authority.get()), pem(server.get()) + pem(authority.get()), pem(serverKey.get())};
}

namespace {

X509_STORE* storeOf(const std::string& authorityPem) {
  X509_STORE* store = X509_STORE_new();
  Bio bio(BIO_new_mem_buf(authorityPem.data(), static_cast<int>(authorityPem.size())));
  while (X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(store, certificate);
    X509_free(certificate);
  }
  ERR_clear_error();
  return store;
}

int connectTo(std::uint16_t port) {
  // A server that closed the connection makes a write fail, never end the test (TLS writes
  // through the descriptor itself, where MSG_NOSIGNAL cannot be given).
  static const bool ignored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignored;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  timeval tv{10, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  return fd;
}

}  // namespace

const TestCertificates& testCertificates() {
  static const TestCertificates made = makeTestCertificates();
  return made;
}

CertificateFiles writeCertificateFiles(const std::string& folder) {
  const CertificateFiles files{folder + "/chain.pem", folder + "/key.pem"};
  std::ofstream(files.chain) << testCertificates().chainPem;
  std::ofstream(files.key) << testCertificates().keyPem;
  return files;
}

Channel::Channel(std::uint16_t port) : fd_(connectTo(port)), ok_(fd_ >= 0) {}

Channel::Channel(std::uint16_t port, const TlsOptions& options) : fd_(connectTo(port)) {
  if (fd_ < 0) return;
  context_ = SSL_CTX_new(TLS_client_method());
  if (options.minVersion != 0) SSL_CTX_set_min_proto_version(context_, options.minVersion);
  if (options.maxVersion != 0) SSL_CTX_set_max_proto_version(context_, options.maxVersion);
  // Only the test's authority is trusted, never the system's.
  SSL_CTX_set_cert_store(context_,
                         storeOf(options.authorityPem.empty() ? testCertificates().authorityPem
                                                              : options.authorityPem));
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  ssl_ = SSL_new(context_);
  X509_VERIFY_PARAM* verify = SSL_get0_param(ssl_);
  if (X509_VERIFY_PARAM_set1_ip_asc(verify, options.verifyName.c_str()) != 1) {
    X509_VERIFY_PARAM_set1_host(verify, options.verifyName.c_str(), 0);
    SSL_set_tlsext_host_name(ssl_, options.verifyName.c_str());
  }
  if (!options.alpn.empty()) {
    std::string wire;
    for (const auto& protocol : options.alpn) {
      wire += static_cast<char>(protocol.size());
      wire += protocol;
    }
    SSL_set_alpn_protos(ssl_, reinterpret_cast<const unsigned char*>(wire.data()),
                        static_cast<unsigned>(wire.size()));
  }
  SSL_set_fd(ssl_, fd_);
  ok_ = SSL_connect(ssl_) == 1;
  ERR_clear_error();
}

Channel::~Channel() {
  if (ssl_ != nullptr) SSL_free(ssl_);
  if (context_ != nullptr) SSL_CTX_free(context_);
  if (fd_ >= 0) ::close(fd_);
}

std::string Channel::alpn() const {
  if (ssl_ == nullptr) return {};
  const unsigned char* name = nullptr;
  unsigned length = 0;
  SSL_get0_alpn_selected(ssl_, &name, &length);
  return name == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(name), length);
}

bool Channel::write(std::string_view bytes) {
  if (!ok_) return false;
  while (!bytes.empty()) {
    const int n = ssl_ != nullptr
                      ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                      : static_cast<int>(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL));
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string Channel::read(std::size_t atMost) {
  if (!ok_) return {};
  std::string buffer(atMost, '\0');
  const int n = ssl_ != nullptr ? SSL_read(ssl_, buffer.data(), static_cast<int>(atMost))
                                : static_cast<int>(::recv(fd_, buffer.data(), atMost, 0));
  if (n <= 0) {
    ERR_clear_error();
    return {};
  }
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

}  // namespace corvlin::test
