#include "host/security/x509_parts.hpp"

#include <openssl/asn1.h>
#include <openssl/rand.h>

#include <array>
#include <climits>

namespace corvlin::host::security {

namespace {

using IntegerHandle = std::unique_ptr<ASN1_INTEGER, FreeWith<ASN1_INTEGER_free>>;
using ExtensionHandle = std::unique_ptr<X509_EXTENSION, FreeWith<X509_EXTENSION_free>>;

Result<bool, std::string> failure(const std::string& what) {
  return Failure{"cannot make a certificate: " + what + ": " + cryptoReason()};
}

}  // namespace

Result<CertificateHandle, std::string> newCertificate(EVP_PKEY& key, std::string_view commonName,
                                                      std::time_t notBefore, std::time_t notAfter) {
  CertificateHandle certificate(X509_new());
  if (!certificate) return Failure{"cannot make a certificate: " + cryptoReason()};
  // 20 bytes at most (RFC 5280), positive: the top bit is cleared, and a zero serial is
  // practically impossible.
  std::array<unsigned char, 20> serialBytes{};
  if (RAND_bytes(serialBytes.data(), static_cast<int>(serialBytes.size())) != 1) {
    return Failure{"cannot make a serial number: " + cryptoReason()};
  }
  serialBytes[0] &= 0x7f;
  const BignumHandle serialNumber(
      BN_bin2bn(serialBytes.data(), static_cast<int>(serialBytes.size()), nullptr));
  const IntegerHandle serial(serialNumber ? BN_to_ASN1_INTEGER(serialNumber.get(), nullptr)
                                          : nullptr);
  if (commonName.size() > static_cast<std::size_t>(INT_MAX)) {
    return Failure{std::string("cannot make a certificate: the name is too long")};
  }
  X509_NAME* subject = X509_get_subject_name(certificate.get());
  const bool made =
      serial && X509_set_version(certificate.get(), X509_VERSION_3) == 1 &&
      X509_set_serialNumber(certificate.get(), serial.get()) == 1 &&
      X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>(commonName.data()),
                                 static_cast<int>(commonName.size()), -1, 0) == 1 &&
      ASN1_TIME_set(X509_getm_notBefore(certificate.get()), notBefore) != nullptr &&
      ASN1_TIME_set(X509_getm_notAfter(certificate.get()), notAfter) != nullptr &&
      X509_set_pubkey(certificate.get(), &key) == 1;
  if (!made) return Failure{"cannot make a certificate: " + cryptoReason()};
  return certificate;
}

Result<bool, std::string> addExtension(X509& certificate, X509& issuer, int nid,
                                       const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, &issuer, &certificate, nullptr, nullptr, 0);
  const ExtensionHandle extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  if (!extension || X509_add_ext(&certificate, extension.get(), -1) != 1) {
    return failure(std::string("extension ") + OBJ_nid2sn(nid) + " " + value);
  }
  return true;
}

Result<bool, std::string> signCertificate(X509& certificate, EVP_PKEY& key) {
  if (X509_sign(&certificate, &key, EVP_sha256()) <= 0) return failure("signing");
  return true;
}

std::optional<std::time_t> certificateTime(double seconds) {
  // 9999-12-31T23:59:59Z, the last instant a GeneralizedTime holds.
  constexpr double last = 253402300799;
  if (!(seconds >= 0 && seconds <= last)) return std::nullopt;
  return static_cast<std::time_t>(seconds);
}

bool notAfterTime(const X509& certificate, std::time_t& seconds) {
  const ASN1_TIME* notAfter = X509_get0_notAfter(&certificate);
  std::tm parts{};
  if (notAfter == nullptr || ASN1_TIME_to_tm(notAfter, &parts) != 1) return false;
  seconds = timegm(&parts);
  return true;
}

}  // namespace corvlin::host::security
