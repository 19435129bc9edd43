#include "extension/bundle.hpp"

#include <unistd.h>

#include <string>

#include "extension/runner.hpp"

namespace corvlin {

std::vector<CorvlinLiveActivityWidget> CorvlinLiveActivityWidgetBundle::body() const {
  return {CorvlinLiveActivityWidget{}};
}

int CorvlinLiveActivityWidgetBundle::main(int input, int output, int errors, const Now& now) {
  const auto widgets = CorvlinLiveActivityWidgetBundle{}.body();
  const auto served = serve(widgets.front().body(), input, output, now);
  if (served) return 0;
  const std::string line = "corvlin-live-activity-extension: " + served.error().message + " (" +
                           std::to_string(served.error().answered) + " answered)\n";
  // The one line is all there is to say; if even it cannot be written, the status still tells.
  [[maybe_unused]] const ssize_t written = ::write(errors, line.data(), line.size());
  return exitIoError;
}

}  // namespace corvlin
