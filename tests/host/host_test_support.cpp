#include "host_test_support.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/extension/child_process.hpp"

extern char** environ;

namespace corvlin::test {

std::string binPath(const std::string& name) { return std::string(CORVLIN_BIN_DIR) + "/" + name; }
std::string dataPath(const std::string& name) {
  return std::string(CORVLIN_TEST_DATA) + "/" + name;
}

namespace {
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

HostRun runHost(const std::vector<std::string>& arguments, const std::string& input,
                const std::vector<std::string>& env) {
  char dir[] = "/tmp/corvlin-host-test-XXXXXX";
  if (!mkdtemp(dir)) return {};
  const std::string in = std::string(dir) + "/in", out = std::string(dir) + "/out",
                    err = std::string(dir) + "/err";
  std::ofstream(in, std::ios::binary) << input;

  host::SpawnOptions options;
  options.arguments.push_back(binPath("corvlin-host"));
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.environment.emplace();
  for (char** e = environ; *e; ++e) options.environment->emplace_back(*e);
  options.environment->insert(options.environment->end(), env.begin(), env.end());
  options.input = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
  options.output = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  options.error = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);

  HostRun run;
  if (auto child = host::ChildGroup::spawn(options)) {
    const auto exit = child.value().waitUntil(host::ChildGroup::Clock::time_point::max());
    const int status = exit ? exit->status : 0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  for (int fd : {options.input, options.output, options.error}) {
    if (fd >= 0) ::close(fd);
  }
  run.out = slurp(out);
  run.err = slurp(err);
  std::remove(in.c_str());
  std::remove(out.c_str());
  std::remove(err.c_str());
  rmdir(dir);
  return run;
}

}  // namespace corvlin::test
