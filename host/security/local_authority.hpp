// The local certificate authority of `corvlin-host serve --tls`: a P-256 key and a self-signed
// CA certificate kept in the state folder, made once and reused on every later start, so that
// a client trusts it once. Each server start issues its own short-lived certificate from it.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/security/secure_files.hpp"
#include "json/result.hpp"

namespace corvlin::host::security {

// The authority's files in the state folder.
inline constexpr std::string_view authorityCertificateFile = "ca.pem";  // 0644
inline constexpr std::string_view authorityKeyFile = "ca-key.pem";      // 0600
inline constexpr std::string_view authorityLockFile = "ca.lock";
inline constexpr std::string_view authorityName = "corvlin local authority";
// About ten years.
inline constexpr long authorityValidityDays = 3653;

// The value of an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process's own environment (getenv).
EnvironmentLookup processEnvironment();

// $XDG_STATE_HOME/corvlin when that is an absolute path, else $HOME/.local/state/corvlin;
// an error when neither is set.
Result<std::filesystem::path, std::string> stateDirectory(const EnvironmentLookup& environment);

// The authority as it is on disk: its certificate's path (what clients are told to trust) and
// both PEM texts, checked to belong together.
struct LocalAuthority {
  std::filesystem::path certificatePath;
  std::string certificatePem;
  std::string privateKeyPem;

  friend bool operator==(const LocalAuthority&, const LocalAuthority&) = default;
};

// Reads the authority from `folder`, or makes it there when it has none: the folder (and the
// missing ones above it) 0700, ca-key.pem 0600, ca.pem 0644, each written to a temporary file
// and renamed into place. A complete authority is read without a lock, so a read-only folder
// holding one serves. Creation holds an flock on ca.lock (never a link followed), so that
// servers starting at once make one authority between them and all read it; while another
// holds it, `wait` is told and may give up. Refused: a folder that was there already and that
// another user owns or group or others may write; a key that another user owns, or that group
// or others can read (with the chmod that fixes it); a file over 64 KiB, text that is not PEM,
// an encrypted or damaged key, a key that is not the certificate's, a certificate that is not a
// CA, and a ca.pem without its key. `now` (seconds since 1970, as every instant here) starts the
// authority's validity.
Result<LocalAuthority, std::string> loadOrCreateAuthority(const std::filesystem::path& folder,
                                                          double now, const LockWait& wait = {});

// What a client needs to trust the authority, for standard error: two lines, each ending in
// a newline.
std::string trustHint(const std::filesystem::path& certificatePath);

}  // namespace corvlin::host::security
