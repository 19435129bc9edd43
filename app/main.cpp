// The extension process: serves presentation requests on standard input and output.
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "app/bundle.hpp"

int main() {
  // An answer that cannot be written, to a reader that has gone included, is a failure that
  // the process reports and exits on (74), not a silent death by SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  // The one place where the real clock is read; every view reads it through this.
  const corvlin::Now realNow = [] {
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return corvlin::Instant{std::chrono::duration<double>(since1970).count()};
  };
  return corvlin::CorvlinLiveActivityWidgetBundle::main(STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO,
                                                        realNow);
}
