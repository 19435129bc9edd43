// Provider tokens made in the tests as a push provider makes them: ES256 signed with libcrypto.
#pragma once

#include <string>
#include <string_view>

#include "host/security/openssl_handles.hpp"

namespace corvlin::test {

// Unpadded base64url of `bytes`.
std::string base64Url(std::string_view bytes);

// header.claims.signature, each part base64url; the signature is `key`'s ES256 signature of
// the first two parts, as r||s.
std::string signedToken(EVP_PKEY& key, std::string_view headerJson, std::string_view claimsJson);

// The PKCS#8 PEM text of a fresh key on the named curve ("P-256", "P-384").
std::string freshKeyPem(const char* curve);

}  // namespace corvlin::test
