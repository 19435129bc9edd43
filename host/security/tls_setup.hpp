// From serve's TLS options to what the server presents: the user's own certificate, or one
// issued for this start by the local authority, with the lines that tell the user how to
// trust it. One call for the command line to make.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "host/security/local_authority.hpp"
#include "host/security/server_credentials.hpp"
#include "json/result.hpp"

namespace corvlin::host::security {

struct TlsOptions {
  std::optional<std::filesystem::path> stateDirectory;  // --state-dir
  std::optional<std::filesystem::path> certificate;     // --cert
  std::optional<std::filesystem::path> key;             // --key
  std::string boundAddress;                             // --bind, as given

  friend bool operator==(const TlsOptions&, const TlsOptions&) = default;
};

struct TlsSetup {
  ServerCredentials credentials;
  // For standard error: how to trust the local authority (trustHint); empty with --cert.
  std::string notice;

  friend bool operator==(const TlsSetup&, const TlsSetup&) = default;
};

// --cert and --key go together, and take the place of the authority (the state folder is then
// not touched); otherwise the authority in --state-dir, or in stateDirectory(environment), is
// read or made and issues the server's certificate for the bound address; `wait` is told of a
// wait for the authority's lock and may give it up.
Result<TlsSetup, std::string> prepareTls(const TlsOptions& options,
                                         const EnvironmentLookup& environment, double now,
                                         const LockWait& wait = {});

}  // namespace corvlin::host::security
