// The extension process: serves presentation requests on standard input and output.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "extension/bundle.hpp"

int main() {
  // An answer that cannot be written, to a reader that has gone included, is a failure that
  // the process reports and exits on (74), not a silent death by SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  // A host that sends many requests reads the answers in bulk: room for 1 MiB of them in the
  // pipe lets the runner write on rather than wait for each 64 KiB to be read (2.5x the
  // baseline's requests a second instead of 1.8x). A no-op where standard output is no pipe; the
  // system's limit may refuse it, which changes nothing else. (A larger input pipe measured no
  // different.)
  (void)::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
  // The one place where the real clock is read; every view reads it through this.
  const corvlin::Now realNow = [] {
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return corvlin::Instant{std::chrono::duration<double>(since1970).count()};
  };
  return corvlin::CorvlinLiveActivityWidgetBundle::main(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO,
                                                        realNow);
}
