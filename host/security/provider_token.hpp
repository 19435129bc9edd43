// The provider token a push carries in its authorization header, read as the push service
// reads it before checking it: "bearer" and a JSON Web Token of three base64url parts, its
// header naming ES256 and the key id, its claims the team id and the time it was issued.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "json/result.hpp"

namespace corvlin::host::security {

// An authorization header value longer than this is refused unread (a provider token is
// about 200 bytes).
inline constexpr std::size_t maxAuthorizationBytes = 4096;

struct ProviderToken {
  std::string keyId;         // the header's kid
  std::string teamId;        // the claims' iss
  double issuedAt = 0;       // the claims' iat, seconds since 1970
  std::string signingInput;  // the first two parts as sent, with the dot between them
  std::array<unsigned char, 64> signature{};  // r then s, 32 bytes each, big-endian

  friend bool operator==(const ProviderToken&, const ProviderToken&) = default;
};

// Reads "bearer TOKEN" (the scheme in any case, one or more spaces, surrounding spaces and
// tabs ignored). The token's three parts are unpadded base64url; the header and the claims
// are JSON objects read as every document is (json::parse): alg must be "ES256" and kid a
// non-empty string; iss a non-empty string and iat a number. The signature must be 64 bytes.
// Other members are ignored. The error says what is wrong, for a person.
Result<ProviderToken, std::string> readProviderToken(std::string_view authorization);

// Unpadded base64url (RFC 4648 section 5, as JSON Web Tokens write it) decoded; nullopt for a
// character outside its alphabet, padding, or a length no encoding has.
std::optional<std::string> decodeBase64Url(std::string_view text);

}  // namespace corvlin::host::security
