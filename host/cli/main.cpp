// corvlin-host: checks payloads and renders the extension's presentations.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "host/cli/cli.hpp"
#include "host/cli/commands.hpp"
#include "host/cli/replay_command.hpp"

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

}  // namespace

int main(int argc, char** argv) {
  using namespace corvlin::host;
  // A write to an extension that has gone away must fail as an error, not end the host.
  ::signal(SIGPIPE, SIG_IGN);

  std::vector<std::string> arguments(argv + 1, argv + argc);
  auto options = parseArguments(arguments);
  if (!options) {
    std::cerr << "corvlin-host: " << options.error() << "\n\n" << usageText;
    return exitUsage;
  }
  const double realNow =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  Environment env{std::cout, std::cerr, extensionNextToSelf(argv[0]), realNow};
  switch (options.value().command) {
    case Options::Command::help:
      std::cout << usageText;
      return exitOk;
    case Options::Command::decode:
      return runDecode(options.value(), env);
    case Options::Command::render:
      return runRender(options.value(), env);
    case Options::Command::replay:
      return runReplay(options.value(), env);
    case Options::Command::serve:
      return runServe(options.value().serve, env);
  }
  return exitSoftware;
}
