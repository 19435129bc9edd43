// The two commands of corvlin-host, each returning its exit status.
#pragma once

#include <ostream>
#include <string>

#include "host/cli/cli.hpp"

namespace corvlin::host {

// What a command may use of the world: its output streams, where the extension lives by
// default, and the real current instant.
struct Environment {
  std::ostream& out;
  std::ostream& err;
  std::string defaultExtension;
  double realNow = 0;
};

int runDecode(const Options& options, Environment& env);
int runRender(const Options& options, Environment& env);

}  // namespace corvlin::host
