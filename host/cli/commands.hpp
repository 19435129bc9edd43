// The commands of corvlin-host, each returning its exit status, and what they share: reading
// the payload and writing the output, each failure reported on the way.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "host/cli/cli.hpp"
#include "json/result.hpp"

namespace corvlin::host {

// What a command may use of the world: its output streams, where the extension lives by
// default, and the real current instant.
struct Environment {
  std::ostream& out;
  std::ostream& err;
  std::string defaultExtension;
  double realNow = 0;
};

// The help of `topic` (Options::helpTopic), or the version, on standard output.
int runHelp(Options::Command topic, Environment& env);
int runVersion(Environment& env);
int runDecode(const Options& options, Environment& env);
int runRender(const Options& options, Environment& env);
// compare: 0 when every picture matches, 1 when any differs, 2 when they cannot be compared.
int runCompare(const Options& options, Environment& env);

// The payload in `file`, or `builtIn` without one; or the exit status after saying why not.
Result<std::string, int> loadPayload(const std::optional<std::string>& file,
                                     std::string_view builtIn, Environment& env);

// Writes `text` to the file `out` (replacing it atomically) or to standard output without one:
// exitOk, or exitCannotCreate after saying why not.
int emit(const std::optional<std::string>& out, std::string_view text, Environment& env);

}  // namespace corvlin::host
