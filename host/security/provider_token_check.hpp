// The check of a push's provider token, as the push service makes it, with a verdict the
// request handler can take as a plain value.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/security/openssl_handles.hpp"
#include "json/result.hpp"

namespace corvlin::host::security {

enum class ProviderTokenOutcome {
  accepted,              // verified (or, without a key, well formed and in date)
  acceptedWithoutToken,  // no key configured and no token: the push service would refuse it
  missingProviderToken,
  invalidProviderToken,
  expiredProviderToken,
};

// The verdict, and what a person needs to know about it (empty for a plain acceptance).
struct ProviderTokenCheck {
  ProviderTokenOutcome outcome = ProviderTokenOutcome::accepted;
  std::string detail;

  friend bool operator==(const ProviderTokenCheck&, const ProviderTokenCheck&) = default;
};

// The reason a refusal names ("MissingProviderToken", ...): the push service answers each with
// 403 and this reason; for acceptedWithoutToken, the reason the service would have given.
// Empty for accepted.
std::string_view reasonName(ProviderTokenOutcome outcome);
bool isAccepted(ProviderTokenOutcome outcome);

// A token is good for this long after its iat.
inline constexpr double providerTokenLifetimeSeconds = 3600;
// An iat at most this far ahead of the server's clock is taken as the sender's clock running
// fast; further ahead, the token is refused as invalid.
inline constexpr double providerTokenClockSkewSeconds = 60;
// Verified tokens remembered, the oldest forgotten first.
inline constexpr std::size_t providerTokenCacheSize = 1024;

// Checks provider tokens against one signing key (a .p8 file: PKCS#8 PEM, EC P-256), its key
// id and the team id, or, made without a key, only their form and age. A verified token is
// remembered by its exact header text, so that its signature is checked once, not on every
// push; its age is checked against `now` on every use. Not for use from two threads at once.
class ProviderTokenVerifier {
 public:
  // Without a key: no token is accepted (acceptedWithoutToken); a token must be well formed
  // and in date, and its key id, team id and signature are not checked.
  ProviderTokenVerifier() = default;

  // Reads the key file (at most 64 KiB; its mode is not checked: such files are often
  // downloaded readable by all). Errors name the file and what is wrong with it.
  static Result<ProviderTokenVerifier, std::string> load(const std::filesystem::path& keyFile,
                                                         std::string keyId, std::string teamId);
  // The same from the key's PEM text; `source` names it in errors.
  static Result<ProviderTokenVerifier, std::string> fromPem(std::string_view pem,
                                                            std::string_view source,
                                                            std::string keyId, std::string teamId);

  // The verdict on a push's authorization header (nullopt: the header is absent) at `now`,
  // seconds since 1970.
  ProviderTokenCheck check(std::optional<std::string_view> authorization, double now);

  bool hasKey() const { return static_cast<bool>(publicKey_); }
  // How many signatures have been verified so far (a remembered token is not verified again).
  std::size_t signatureChecks() const { return signatureChecks_; }

 private:
  ProviderTokenCheck checkWithoutKey(std::optional<std::string_view> authorization,
                                     double now) const;
  void remember(std::string_view authorization, double issuedAt);

  KeyHandle publicKey_;
  std::string keyId_;
  std::string teamId_;
  std::unordered_map<std::string, double> verified_;  // header text -> iat
  std::deque<std::string> verifiedOrder_;             // oldest first
  std::size_t signatureChecks_ = 0;
};

// serve's provider-key options as given on the command line.
struct ProviderKeyOptions {
  std::optional<std::filesystem::path> keyFile;  // --auth-key
  std::optional<std::string> keyId;              // --key-id
  std::optional<std::string> teamId;             // --team-id

  friend bool operator==(const ProviderKeyOptions&, const ProviderKeyOptions&) = default;
};

// A verifier without a key when none of the three is given; with the key when all three are;
// an error naming what is missing otherwise, or what is wrong with the key file.
Result<ProviderTokenVerifier, std::string> makeProviderTokenVerifier(
    const ProviderKeyOptions& options);

}  // namespace corvlin::host::security
