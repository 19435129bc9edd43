#include "host_test_support.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/process/child_process.hpp"

extern char** environ;

namespace corvlin::test {

std::string binPath(const std::string& name) { return std::string(CORVLIN_BIN_DIR) + "/" + name; }
std::string dataPath(const std::string& name) {
  return std::string(CORVLIN_TEST_DATA) + "/" + name;
}
std::string samplePath(const std::string& name) {
  return std::string(CORVLIN_SAMPLES) + "/" + name;
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
  HostSetup setup;
  setup.input = input;
  setup.env = env;
  return runHost(arguments, setup);
}

HostRun runHost(const std::vector<std::string>& arguments, const HostSetup& setup) {
  char dir[] = "/tmp/corvlin-host-test-XXXXXX";
  if (!mkdtemp(dir)) return {};
  const std::string in = std::string(dir) + "/in", out = std::string(dir) + "/out",
                    err = std::string(dir) + "/err";
  std::ofstream(in, std::ios::binary) << setup.input;

  host::SpawnOptions options;
  // A file-size or memory limit applies to the host and what it starts, and to nothing here.
  if (setup.fileSizeLimit || setup.memoryLimit) {
    options.arguments = {"/usr/bin/prlimit"};
    if (setup.fileSizeLimit) {
      options.arguments.push_back("--fsize=" + std::to_string(*setup.fileSizeLimit));
    }
    if (setup.memoryLimit)
      options.arguments.push_back("--as=" + std::to_string(*setup.memoryLimit));
    options.arguments.push_back("--");
  }
  options.arguments.push_back(binPath("corvlin-host"));
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.environment.emplace();
  for (char** e = environ; *e; ++e) options.environment->emplace_back(*e);
  options.environment->insert(options.environment->end(), setup.env.begin(), setup.env.end());

  int pipeEnds[2] = {-1, -1};
  if (setup.out == Stdout::brokenPipe) {
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
    ::close(pipeEnds[0]);  // no reader, ever
  }
  const int inFd = ::open(in.c_str(), O_RDONLY | O_CLOEXEC);
  const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int outFd = -1;
  switch (setup.out) {
    case Stdout::captured:
      outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      break;
    case Stdout::full:
      outFd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
      break;
    case Stdout::closed:
      break;
    case Stdout::brokenPipe:
      outFd = pipeEnds[1];
      break;
  }

  HostRun run;
  options.input = inFd;
  options.output = outFd >= 0 ? outFd : host::SpawnOptions::closed;
  options.error = errFd;
  if (auto child = host::ChildGroup::spawn(options)) {
    const auto exit = child.value().waitUntil(host::ChildGroup::Clock::time_point::max());
    const int status = exit ? exit->status : 0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  for (int fd : {inFd, outFd, errFd}) {
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
