#include "host/security/provider_token_check.hpp"

#include <array>
#include <cstdio>
#include <utility>

#include "host/security/provider_token.hpp"
#include "host/security/secure_files.hpp"

namespace corvlin::host::security {

namespace {

using Outcome = ProviderTokenOutcome;

// Whole seconds, whatever the magnitude (an iat can be any number JSON holds).
std::string seconds(double value) {
  std::array<char, 512> text{};
  std::snprintf(text.data(), text.size(), "%.0f", value);
  return text.data();
}

// The refusal a token's age earns at `now`, if any.
std::optional<ProviderTokenCheck> ageRefusal(double issuedAt, double now) {
  const double age = now - issuedAt;
  if (-age > providerTokenClockSkewSeconds) {
    return ProviderTokenCheck{Outcome::invalidProviderToken,
                              "the token's iat is " + seconds(-age) +
                                  " s ahead of the server's clock (at most " +
                                  seconds(providerTokenClockSkewSeconds) + " s is tolerated)"};
  }
  if (age > providerTokenLifetimeSeconds) {
    return ProviderTokenCheck{Outcome::expiredProviderToken,
                              "the token was issued " + seconds(age) + " s ago; make a new one " +
                                  "at least every " + seconds(providerTokenLifetimeSeconds) + " s"};
  }
  return std::nullopt;
}

// Whether the raw r||s signature is the key's ES256 signature of the signing input.
bool verifiesEs256(EVP_PKEY& key, const ProviderToken& token) {
  constexpr int half = 32;
  BignumHandle r(BN_bin2bn(token.signature.data(), half, nullptr));
  BignumHandle s(BN_bin2bn(token.signature.data() + half, half, nullptr));
  const SignatureHandle signature(ECDSA_SIG_new());
  if (!r || !s || !signature || ECDSA_SIG_set0(signature.get(), r.get(), s.get()) != 1) {
    cryptoReason();
    return false;
  }
  // The signature owns both numbers now.
  static_cast<void>(r.release());
  static_cast<void>(s.release());
  unsigned char* der = nullptr;
  const int derLength = i2d_ECDSA_SIG(signature.get(), &der);
  const CryptoBytesHandle derOwner(der);
  const DigestContextHandle context(EVP_MD_CTX_new());
  const bool verified =
      derLength > 0 && context &&
      EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, &key) == 1 &&
      EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derLength),
                       reinterpret_cast<const unsigned char*>(token.signingInput.data()),
                       token.signingInput.size()) == 1;
  cryptoReason();
  return verified;
}

ProviderTokenCheck invalid(std::string detail) {
  return {Outcome::invalidProviderToken, std::move(detail)};
}

}  // namespace

std::string_view reasonName(ProviderTokenOutcome outcome) {
  switch (outcome) {
    case Outcome::accepted:
      return "";
    case Outcome::acceptedWithoutToken:
    case Outcome::missingProviderToken:
      return "MissingProviderToken";
    case Outcome::invalidProviderToken:
      return "InvalidProviderToken";
    case Outcome::expiredProviderToken:
      return "ExpiredProviderToken";
  }
  return "";
}

bool isAccepted(ProviderTokenOutcome outcome) {
  return outcome == Outcome::accepted || outcome == Outcome::acceptedWithoutToken;
}

Result<ProviderTokenVerifier, std::string> ProviderTokenVerifier::load(
    const std::filesystem::path& keyFile, std::string keyId, std::string teamId) {
  auto text = readBoundedFile(keyFile);
  if (!text) return Failure{std::move(text).error()};
  return fromPem(text.value(), keyFile.string(), std::move(keyId), std::move(teamId));
}

Result<ProviderTokenVerifier, std::string> ProviderTokenVerifier::fromPem(std::string_view pem,
                                                                          std::string_view source,
                                                                          std::string keyId,
                                                                          std::string teamId) {
  if (keyId.empty() || teamId.empty()) {
    return Failure{
        std::string("a provider key needs its key id (--key-id) and team id (--team-id)")};
  }
  const KeyHandle key = readPrivateKeyPem(pem);
  if (!key) return Failure{unreadableKeyMessage(pem, std::string(source))};
  if (!isP256Key(*key)) {
    return Failure{std::string(source) + " is not an elliptic-curve P-256 key, as ES256 needs"};
  }
  // Only the public half is kept.
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key.get(), &der);
  const CryptoBytesHandle derOwner(der);
  const unsigned char* cursor = der;
  ProviderTokenVerifier verifier;
  verifier.publicKey_.reset(length > 0 ? d2i_PUBKEY(nullptr, &cursor, length) : nullptr);
  if (!verifier.publicKey_) {
    return Failure{std::string(source) + ": cannot take its public key: " + cryptoReason()};
  }
  verifier.keyId_ = std::move(keyId);
  verifier.teamId_ = std::move(teamId);
  return verifier;
}

ProviderTokenCheck ProviderTokenVerifier::check(std::optional<std::string_view> authorization,
                                                double now) {
  if (!publicKey_) return checkWithoutKey(authorization, now);
  if (!authorization || authorization->empty()) {
    return {Outcome::missingProviderToken, "the push has no authorization header"};
  }
  if (const auto known = verified_.find(std::string(*authorization)); known != verified_.end()) {
    if (auto refusal = ageRefusal(known->second, now)) return *std::move(refusal);
    return {};
  }
  auto token = readProviderToken(*authorization);
  if (!token) return invalid(std::move(token).error());
  if (token->keyId != keyId_) {
    return invalid("the token's kid \"" + token->keyId + "\" is not the key id \"" + keyId_ + "\"");
  }
  if (token->teamId != teamId_) {
    return invalid("the token's iss \"" + token->teamId + "\" is not the team id \"" + teamId_ +
                   "\"");
  }
  ++signatureChecks_;
  if (!verifiesEs256(*publicKey_, token.value())) {
    return invalid("the token's signature is not the key's (" + keyId_ + ")");
  }
  if (auto refusal = ageRefusal(token->issuedAt, now)) return *std::move(refusal);
  remember(*authorization, token->issuedAt);
  return {};
}

ProviderTokenCheck ProviderTokenVerifier::checkWithoutKey(
    std::optional<std::string_view> authorization, double now) const {
  if (!authorization || authorization->empty()) {
    return {Outcome::acceptedWithoutToken,
            "the push has no provider token: the push service would refuse it with "
            "MissingProviderToken"};
  }
  auto token = readProviderToken(*authorization);
  if (!token) return invalid(std::move(token).error());
  if (auto refusal = ageRefusal(token->issuedAt, now)) return *std::move(refusal);
  return {Outcome::accepted,
          "the token's signature, key id and team id were not checked: no provider key given "
          "(--auth-key)"};
}

Result<ProviderTokenVerifier, std::string> makeProviderTokenVerifier(
    const ProviderKeyOptions& options) {
  if (!options.keyFile) {
    if (options.keyId || options.teamId) {
      return Failure{std::string("--key-id and --team-id go with --auth-key (the signing key)")};
    }
    return ProviderTokenVerifier();
  }
  if (!options.keyId || !options.teamId) {
    return Failure{std::string("--auth-key needs --key-id and --team-id")};
  }
  return ProviderTokenVerifier::load(*options.keyFile, *options.keyId, *options.teamId);
}

void ProviderTokenVerifier::remember(std::string_view authorization, double issuedAt) {
  if (verifiedOrder_.size() >= providerTokenCacheSize) {
    verified_.erase(verifiedOrder_.front());
    verifiedOrder_.pop_front();
  }
  const auto [entry, added] = verified_.emplace(std::string(authorization), issuedAt);
  if (added) verifiedOrder_.push_back(entry->first);
}

}  // namespace corvlin::host::security
