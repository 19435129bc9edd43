// What a TLS server presents: its certificate chain and private key, as PEM texts in memory.
// Either issued for this start by the local authority, or the user's own (--cert, --key).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/security/local_authority.hpp"
#include "json/result.hpp"

namespace corvlin::host::security {

struct ServerCredentials {
  std::string certificateChainPem;  // the server's certificate first, then its issuers
  std::string privateKeyPem;        // PKCS#8, unencrypted

  friend bool operator==(const ServerCredentials&, const ServerCredentials&) = default;
};

// A server certificate issued at most this long (CA/Browser Forum baseline: 398 days, and
// clients that enforce it count from notBefore).
inline constexpr long leafValidityDays = 396;

// A fresh P-256 key and a certificate for it signed by the authority: CN=localhost, names
// DNS:localhost, IP:127.0.0.1, IP:::1 and the address the server is bound to (an IP address,
// "[::1]" brackets allowed, or else a host name; a wildcard address such as 0.0.0.0 adds
// nothing), serverAuth only, digitalSignature only, not a CA. Valid from an hour before `now`
// to leafValidityDays after it, never past the authority's own end. Nothing is written to disk.
Result<ServerCredentials, std::string> issueLeaf(const LocalAuthority& authority,
                                                 std::string_view boundAddress, double now);

// The user's own certificate chain and key (--cert, --key): at most 64 KiB each, every
// certificate of the chain readable, the key unencrypted and the first certificate's.
// Returned re-encoded as PEM, certificates in the file's order.
Result<ServerCredentials, std::string> loadUserCertificate(
    const std::filesystem::path& certificatePath, const std::filesystem::path& keyPath);

}  // namespace corvlin::host::security
