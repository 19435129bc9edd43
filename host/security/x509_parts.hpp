// The parts every certificate made here shares: a fresh serial, a subject, the validity window,
// the extensions and the signature.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "host/security/openssl_handles.hpp"
#include "json/result.hpp"

namespace corvlin::host::security {

// A new version-3 certificate for `key` with a random positive 159-bit serial, subject
// CN=`commonName`, valid from `notBefore` to `notAfter`. The issuer is left to the caller.
Result<CertificateHandle, std::string> newCertificate(EVP_PKEY& key, std::string_view commonName,
                                                      std::time_t notBefore, std::time_t notAfter);

// Adds an extension written in OpenSSL's configuration syntax ("critical,CA:TRUE"), for
// extensions whose value is fixed text; `issuer` is the certificate the key identifiers are
// taken from.
Result<bool, std::string> addExtension(X509& certificate, X509& issuer, int nid, const char* value);

// Signs with SHA-256.
Result<bool, std::string> signCertificate(X509& certificate, EVP_PKEY& key);

// An instant (seconds since 1970) as a certificate's time; nullopt for one no certificate can
// hold (not finite, before 1970 or after 9999).
std::optional<std::time_t> certificateTime(double seconds);

// A certificate's notAfter as seconds since 1970; false when it cannot be read.
bool notAfterTime(const X509& certificate, std::time_t& seconds);

}  // namespace corvlin::host::security
