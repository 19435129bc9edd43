#include "host/html/html_csp.hpp"

#include <openssl/evp.h>

#include <array>

namespace corvlin::host::html {

std::string hashSource(std::string_view inlineText) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestSize = 0;
  // SHA-256 never fails on memory input; a failure would leave the hash empty, which a
  // browser reads as a source that admits nothing, so the page fails closed.
  EVP_Digest(inlineText.data(), inlineText.size(), digest.data(), &digestSize, EVP_sha256(),
             nullptr);
  // Base64 of n bytes takes 4 * ceil(n / 3) characters and a terminating NUL.
  std::array<unsigned char, 4 * ((EVP_MAX_MD_SIZE + 2) / 3) + 1> encoded{};
  const int length = EVP_EncodeBlock(encoded.data(), digest.data(), static_cast<int>(digestSize));
  return "'sha256-" +
         std::string(reinterpret_cast<const char*>(encoded.data()),
                     static_cast<std::size_t>(length > 0 ? length : 0)) +
         "'";
}

std::string contentSecurityPolicy(std::string_view style, std::string_view script,
                                  PageOrigin origin) {
  const bool served = origin == PageOrigin::served;
  return "default-src 'none'; style-src " + hashSource(style) + "; script-src " +
         hashSource(script) + "; img-src 'none'; font-src 'none'; connect-src " +
         (served ? "'self'" : "'none'") + "; base-uri 'none'; form-action 'none'" +
         (served ? "; frame-ancestors 'none'" : "");
}

}  // namespace corvlin::host::html
