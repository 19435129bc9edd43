#include "host_test_support.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

// Puts `fd` at `target` in the child; only async-signal-safe calls.
void place(int fd, int target) {
  if (fd == target) {
    ::fcntl(fd, F_SETFD, 0);  // keep it across exec
  } else {
    ::dup2(fd, target);
    ::close(fd);
  }
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

  // Everything the child needs is made before fork: after it, only system calls.
  const std::string host = binPath("corvlin-host");
  std::vector<std::string> args{host};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
  envStrings.insert(envStrings.end(), setup.env.begin(), setup.env.end());
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

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
  const pid_t pid = ::fork();
  if (pid == 0) {
    place(inFd, 0);
    if (outFd >= 0) {
      place(outFd, 1);
    } else {
      ::close(1);
    }
    place(errFd, 2);
    if (setup.fileSizeLimit) {
      const rlimit limit{static_cast<rlim_t>(*setup.fileSizeLimit),
                         static_cast<rlim_t>(*setup.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execve(host.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  for (int fd : {inFd, outFd, errFd}) {
    if (fd >= 0) ::close(fd);
  }
  if (pid > 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
