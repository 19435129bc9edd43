#include "support/token_signing_support.hpp"

#include <openssl/ec.h>
#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace corvlin::test {

using host::security::BignumHandle;
using host::security::DigestContextHandle;
using host::security::KeyHandle;
using host::security::SignatureHandle;

std::string base64Url(std::string_view bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  while (!text.empty() && text.back() == '=') text.pop_back();
  std::replace(text.begin(), text.end(), '+', '-');
  std::replace(text.begin(), text.end(), '/', '_');
  return text;
}

std::string signedToken(EVP_PKEY& key, std::string_view headerJson, std::string_view claimsJson) {
  const std::string input = base64Url(headerJson) + "." + base64Url(claimsJson);
  const DigestContextHandle context(EVP_MD_CTX_new());
  std::size_t length = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, &key) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length,
                     reinterpret_cast<const unsigned char*>(input.data()), input.size()) != 1) {
    throw std::runtime_error("cannot sign");
  }
  std::vector<unsigned char> der(length);
  if (EVP_DigestSign(context.get(), der.data(), &length,
                     reinterpret_cast<const unsigned char*>(input.data()), input.size()) != 1) {
    throw std::runtime_error("cannot sign");
  }
  const unsigned char* cursor = der.data();
  const SignatureHandle signature(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(length)));
  if (!signature) throw std::runtime_error("cannot read the signature");
  std::string raw(64, '\0');
  BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), reinterpret_cast<unsigned char*>(raw.data()), 32);
  BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), reinterpret_cast<unsigned char*>(raw.data()) + 32,
               32);
  return input + "." + base64Url(raw);
}

std::string freshKeyPem(const char* curve) {
  const KeyHandle key(EVP_EC_gen(curve));
  if (!key) throw std::runtime_error("cannot make a key");
  return host::security::privateKeyPem(*key);
}

}  // namespace corvlin::test
