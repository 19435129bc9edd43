// corvlin-host: checks payloads and renders the extension's presentations.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/cli/cli.hpp"
#include "host/cli/commands.hpp"
#include "host/cli/replay_command.hpp"
#include "host/files/output.hpp"

namespace {

// The extension is installed next to corvlin-host.
std::string extensionNextToSelf(const char* argv0) {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv0);
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  return dir + "/corvlin-live-activity-extension";
}

// A standard stream that was closed gets /dev/null opened the wrong way round, so that using
// it fails (EBADF) instead of a file opened later taking its number and receiving its bytes.
void holdClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      const int held = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
      if (held != fd && held >= 0) ::close(held);
    }
  }
}

// The host itself; main adds only a last word for what no command expects.
int run(int argc, char** argv) {
  using namespace corvlin::host;
  holdClosedStandardDescriptors();
  // A write to a closed pipe (an extension gone, or `| head`) and a write past the file-size
  // limit must fail as errors that the host reports, not end it.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);

  std::vector<std::string> arguments(argv + 1, argv + argc);
  auto options = parseArguments(arguments);
  if (!options) return usageError(std::cerr, options.error().message, options.error().command);
  const double realNow =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  Environment env{std::cout, std::cerr, extensionNextToSelf(argv[0]), realNow};
  int status = exitSoftware;
  switch (options.value().command) {
    case Options::Command::help:
      status = runHelp(options.value().helpTopic, env);
      break;
    case Options::Command::version:
      status = runVersion(env);
      break;
    case Options::Command::decode:
      status = runDecode(options.value(), env);
      break;
    case Options::Command::render:
      status = runRender(options.value(), env);
      break;
    case Options::Command::replay:
      status = runReplay(options.value(), env);
      break;
    case Options::Command::compare:
      status = runCompare(options.value(), env);
      break;
    case Options::Command::serve:
      status = runServe(options.value().serve, env);
      break;
  }
  // A failed write was reported where it happened; otherwise closing may still fail.
  if (status != exitCannotCreate) {
    if (auto closed = closeStandardOutput(); !closed) {
      std::cerr << "corvlin-host: " << closed.error() << "\n";
      return exitCannotCreate;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Every failure the host expects is an exit status of its own; this is for the rest (memory
  // running out), which would otherwise end the host without a word.
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "corvlin-host: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "corvlin-host: an unexpected error\n";
  }
  return corvlin::host::exitSoftware;
}
