#include "host/security/local_authority.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "host/security/openssl_handles.hpp"
#include "host/security/secure_files.hpp"
#include "host/security/x509_parts.hpp"

namespace corvlin::host::security {

namespace fs = std::filesystem;

namespace {

constexpr std::time_t secondsPerDay = std::time_t{24} * 60 * 60;
// The authority is valid from an hour before it was made, for clients whose clock is behind.
constexpr std::time_t backdatedSeconds = std::time_t{60} * 60;

struct AuthorityFiles {
  fs::path certificate;
  fs::path key;
};

AuthorityFiles filesIn(const fs::path& folder) {
  return {folder / authorityCertificateFile, folder / authorityKeyFile};
}

bool isPresent(const fs::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 || errno != ENOENT;
}

Result<LocalAuthority, std::string> readAuthority(const AuthorityFiles& files) {
  auto keyText = readPrivateFile(files.key);
  if (!keyText) return Failure{std::move(keyText).error()};
  auto certificateText = readBoundedFile(files.certificate);
  if (!certificateText) return Failure{std::move(certificateText).error()};
  const std::string startOver = "; remove " + shellQuoted(files.certificate.string()) + " and " +
                                shellQuoted(files.key.string()) + " to make a new authority";
  const KeyHandle key = readPrivateKeyPem(keyText.value());
  if (!key) return Failure{unreadableKeyMessage(keyText.value(), files.key.string()) + startOver};
  const CertificateHandle certificate = readCertificatePem(certificateText.value());
  if (!certificate) {
    cryptoReason();
    return Failure{files.certificate.string() +
                   " holds no PEM certificate, or a damaged one (cut short, or changed)" +
                   startOver};
  }
  if (X509_check_private_key(certificate.get(), key.get()) != 1) {
    cryptoReason();
    return Failure{files.key.string() + " is not the key of the certificate in " +
                   files.certificate.string() + startOver};
  }
  if (X509_check_ca(certificate.get()) == 0) {
    return Failure{files.certificate.string() + " is not a certificate authority" + startOver};
  }
  return LocalAuthority{files.certificate, std::move(certificateText).value(),
                        std::move(keyText).value()};
}

Result<LocalAuthority, std::string> createAuthority(const AuthorityFiles& files, double now) {
  const KeyHandle key = generateP256Key();
  if (!key) return Failure{"cannot make a P-256 key: " + cryptoReason()};
  const std::optional<std::time_t> clock = certificateTime(now);
  if (!clock) return Failure{std::string("the clock reads no time a certificate can hold")};
  const std::time_t start = *clock;
  auto made = newCertificate(*key, authorityName, start - backdatedSeconds,
                             start + authorityValidityDays * secondsPerDay);
  if (!made) return Failure{std::move(made).error()};
  X509& certificate = *made.value();
  if (X509_set_issuer_name(&certificate, X509_get_subject_name(&certificate)) != 1) {
    return Failure{"cannot make a certificate: " + cryptoReason()};
  }
  for (const auto& [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                   std::pair{NID_key_usage, "critical,keyCertSign,cRLSign"},
                                   std::pair{NID_subject_key_identifier, "hash"},
                                   std::pair{NID_authority_key_identifier, "keyid:always"}}) {
    auto added = addExtension(certificate, certificate, nid, value);
    if (!added) return Failure{std::move(added).error()};
  }
  auto signedOk = signCertificate(certificate, *key);
  if (!signedOk) return Failure{std::move(signedOk).error()};

  LocalAuthority authority{files.certificate, certificatePem(certificate), privateKeyPem(*key)};
  if (authority.certificatePem.empty() || authority.privateKeyPem.empty()) {
    return Failure{"cannot write the authority as PEM: " + cryptoReason()};
  }
  // The key first: a ca.pem is only ever beside its own key.
  auto wroteKey = writeFileAtomically(files.key, authority.privateKeyPem, 0600);
  if (!wroteKey) return Failure{std::move(wroteKey).error()};
  auto wroteCertificate = writeFileAtomically(files.certificate, authority.certificatePem, 0644);
  if (!wroteCertificate) return Failure{std::move(wroteCertificate).error()};
  return authority;
}

// The authority whose certificate is present: its key must be beside it.
Result<LocalAuthority, std::string> readComplete(const AuthorityFiles& files) {
  if (!isPresent(files.key)) {
    return Failure{files.certificate.string() + " has no key beside it (" + files.key.string() +
                   "); remove " + shellQuoted(files.certificate.string()) +
                   " to make a new authority, and trust the new one"};
  }
  return readAuthority(files);
}

// A path as a shell would need it: as it is when it is made of ordinary characters only.
std::string shellWord(const std::string& text) {
  for (const char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ':' ||
                       c == '@' || c == ',' || c == '%';
    if (!plain) return shellQuoted(text);
  }
  return text.empty() ? shellQuoted(text) : text;
}

}  // namespace

EnvironmentLookup processEnvironment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
}

Result<fs::path, std::string> stateDirectory(const EnvironmentLookup& environment) {
  // A relative XDG_STATE_HOME is ignored, as the base directory convention asks.
  if (const auto state = environment("XDG_STATE_HOME");
      state && !state->empty() && fs::path(*state).is_absolute()) {
    return fs::path(*state) / "corvlin";
  }
  if (const auto home = environment("HOME"); home && !home->empty()) {
    return fs::path(*home) / ".local" / "state" / "corvlin";
  }
  return Failure{std::string(
      "neither XDG_STATE_HOME nor HOME is set; name a folder for the local authority with "
      "--state-dir")};
}

Result<LocalAuthority, std::string> loadOrCreateAuthority(const fs::path& folder, double now,
                                                          const LockWait& wait) {
  auto made = makePrivateDirectory(folder);
  if (!made) return Failure{std::move(made).error()};
  // A folder made now is ours and 0700; one that was there must be as private.
  if (!made.value()) {
    auto trusted = checkPrivateDirectory(folder);
    if (!trusted) return Failure{std::move(trusted).error()};
  }
  const AuthorityFiles files = filesIn(folder);
  // Creation writes the key first and the certificate last, each by a rename: a certificate
  // present is a complete authority, read without the lock (so a read-only folder serves).
  if (isPresent(files.certificate)) return readComplete(files);
  auto lock = FileLock::acquire(folder / authorityLockFile, wait);
  if (!lock) return Failure{std::move(lock).error()};
  // Under the lock: whoever came first has made the authority, or nobody has.
  if (isPresent(files.certificate)) return readComplete(files);
  // A key without its certificate is what an interrupted creation leaves: nothing can have
  // trusted it, so it is replaced.
  return createAuthority(files, now);
}

std::string trustHint(const fs::path& certificatePath) {
  const std::string path = shellWord(certificatePath.string());
  return "corvlin-host: clients trust this server through the local authority " + path + "\n" +
         "corvlin-host: e.g. NODE_EXTRA_CA_CERTS=" + path + " node ..., or curl --cacert " + path +
         " ...\n";
}

}  // namespace corvlin::host::security
