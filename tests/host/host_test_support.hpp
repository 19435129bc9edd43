// Running the built corvlin-host from tests: its exit status and what it wrote.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvlin::test {

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Where the host's standard output goes.
enum class Stdout {
  captured,    // a file, read back into HostRun::out
  full,        // /dev/full: every write fails with ENOSPC
  closed,      // no descriptor 1 at all
  brokenPipe,  // a pipe whose reader is gone: every write fails with EPIPE
};

struct HostSetup {
  std::string input;             // fed on standard input
  std::vector<std::string> env;  // extra "NAME=value" assignments
  Stdout out = Stdout::captured;
  std::optional<long> fileSizeLimit;  // RLIMIT_FSIZE in bytes, for the host and its children
  std::optional<long> memoryLimit;    // RLIMIT_AS in bytes, the same way
};

// Runs build/bin/corvlin-host with `arguments`.
HostRun runHost(const std::vector<std::string>& arguments, const HostSetup& setup);
HostRun runHost(const std::vector<std::string>& arguments, const std::string& input = "",
                const std::vector<std::string>& env = {});

std::string binPath(const std::string& name);
std::string dataPath(const std::string& name);
// A payload corvlin-host carries built in (host/samples).
std::string samplePath(const std::string& name);

}  // namespace corvlin::test
