// Running the built corvlin-host from tests: its exit status and what it wrote.
#pragma once

#include <string>
#include <vector>

namespace corvlin::test {

struct HostRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs build/bin/corvlin-host with `arguments`, feeding `input` on standard input, with the
// extra environment assignments `env` ("NAME=value").
HostRun runHost(const std::vector<std::string>& arguments, const std::string& input = "",
                const std::vector<std::string>& env = {});

std::string binPath(const std::string& name);
std::string dataPath(const std::string& name);

}  // namespace corvlin::test
