// `corvlin-host serve`: its options, their parsing and the command itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace corvlin::host {

struct Environment;

struct ServeOptions {
  std::uint16_t port = 0;  // 0: a free port
  std::string bind = "127.0.0.1";
  std::optional<std::string> watch;      // a file whose saves are posted to token 0
  std::optional<std::string> extension;  // absent: the extension next to corvlin-host
  long clientTimeoutMs = 10000;          // a slow or silent client is closed after this
  bool tls = false;                      // HTTPS (h2 and HTTP/1.1 by ALPN) instead of HTTP
  std::optional<std::string> cert;       // with --tls: the certificate chain, PEM
  std::optional<std::string> key;        // with --tls: its private key, PEM
  std::optional<std::string> stateDir;   // with --tls: where the local authority is kept
  std::optional<std::string> authKey;    // the provider-token key (.p8) pushes are checked with
  std::optional<std::string> keyId;      // with --auth-key: the key's id (the tokens' kid)
  std::optional<std::string> teamId;     // with --auth-key: the team's id (the tokens' iss)
  std::size_t subscribers = 0;           // local subscribers each broadcast channel made gets

  friend bool operator==(const ServeOptions&, const ServeOptions&) = default;
};

// serve's options, read into `options`: one line each.
void addServeOptions(CLI::App& serve, ServeOptions& options);

// What is wrong with a set of serve's options taken together, for a usage error; none when
// nothing is.
std::optional<std::string> serveOptionsProblem(const ServeOptions& options);

// Serves until SIGINT or SIGTERM; 0 then, 64 for a bad --bind, 66 for a --watch file whose
// folder cannot be watched or a TLS certificate that cannot be had (--cert and --key, or the
// local authority), 69 when the address cannot be listened on.
int runServe(const ServeOptions& options, Environment& env);

}  // namespace corvlin::host
