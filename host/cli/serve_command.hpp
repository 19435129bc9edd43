// `corvlin-host serve`: its options, their parsing and the command itself.
#pragma once

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

  friend bool operator==(const ServeOptions&, const ServeOptions&) = default;
};

// serve's options, read into `options`: one line each.
void addServeOptions(CLI::App& serve, ServeOptions& options);

// Serves until SIGINT or SIGTERM; 0 then, 64 for a bad --bind, 66 for a --watch file whose
// folder cannot be watched, 69 when the address cannot be listened on.
int runServe(const ServeOptions& options, Environment& env);

}  // namespace corvlin::host
