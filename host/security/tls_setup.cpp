#include "host/security/tls_setup.hpp"

#include <utility>

namespace corvlin::host::security {

Result<TlsSetup, std::string> prepareTls(const TlsOptions& options,
                                         const EnvironmentLookup& environment, double now,
                                         const LockWait& wait) {
  if (options.certificate.has_value() != options.key.has_value()) {
    return Failure{std::string(options.certificate ? "--cert needs --key (the certificate's key)"
                                                   : "--key needs --cert (its certificate)")};
  }
  if (options.certificate) {
    auto own = loadUserCertificate(*options.certificate, *options.key);
    if (!own) return Failure{std::move(own).error()};
    return TlsSetup{std::move(own).value(), {}};
  }
  auto folder = options.stateDirectory
                    ? Result<std::filesystem::path, std::string>(*options.stateDirectory)
                    : stateDirectory(environment);
  if (!folder) return Failure{std::move(folder).error()};
  auto authority = loadOrCreateAuthority(folder.value(), now, wait);
  if (!authority) return Failure{std::move(authority).error()};
  auto issued = issueLeaf(authority.value(), options.boundAddress, now);
  if (!issued) return Failure{std::move(issued).error()};
  return TlsSetup{std::move(issued).value(), trustHint(authority->certificatePath)};
}

}  // namespace corvlin::host::security
