// Arbitrary authorization header values through the provider-token reader and the check made
// without a key: nothing crashes or reads out of bounds, a token that is read names a key id,
// a team id and a finite iat, its signing input is the text that was sent, and writing it out
// again reads back the same token. The check's verdict agrees with the reader.
#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.hpp"
#include "host/security/provider_token.hpp"
#include "host/security/provider_token_check.hpp"

namespace {

using corvlin::fuzz::require;
using namespace corvlin::host::security;

std::string base64Url(const unsigned char* bytes, std::size_t size) {
  std::string text(4 * ((size + 2) / 3) + 1, '\0');
  const int length =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(size));
  text.resize(static_cast<std::size_t>(length));
  while (!text.empty() && text.back() == '=') text.pop_back();
  std::replace(text.begin(), text.end(), '+', '-');
  std::replace(text.begin(), text.end(), '/', '_');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // Base64url: what decodes encodes back to text that decodes the same.
  if (const auto decoded = decodeBase64Url(input)) {
    const std::string again =
        base64Url(reinterpret_cast<const unsigned char*>(decoded->data()), decoded->size());
    require(decodeBase64Url(again) == decoded, "base64url decodes its own encoding back");
  }

  const auto token = readProviderToken(input);
  ProviderTokenVerifier withoutKey;
  const ProviderTokenCheck verdict = withoutKey.check(input, token ? token->issuedAt : 0);
  if (!token) {
    require(!token.error().empty(), "a refusal says why");
    require(verdict.outcome == ProviderTokenOutcome::invalidProviderToken ||
                verdict.outcome == ProviderTokenOutcome::acceptedWithoutToken,
            "an unreadable token is invalid (or absent)", verdict.detail);
    return 0;
  }
  require(verdict.outcome == ProviderTokenOutcome::accepted,
          "a readable token checked at its own iat is accepted without a key", verdict.detail);
  require(!token->keyId.empty() && !token->teamId.empty(), "a token names its key and team");
  require(std::isfinite(token->issuedAt), "iat is finite");
  require(input.find(token->signingInput) != std::string_view::npos,
          "the signing input is the text that was sent");
  const std::string rewritten = "bearer " + token->signingInput + "." +
                                base64Url(token->signature.data(), token->signature.size());
  const auto reread = readProviderToken(rewritten);
  require(reread && *reread == *token, "a token written out again reads the same", rewritten);
  return 0;
}
