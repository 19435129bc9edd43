// The extension's bundle: its widgets, and the process's work of serving them to the host.
#pragma once

#include <vector>

#include "extension/widget.hpp"
#include "model/instant.hpp"

namespace corvlin {

struct CorvlinLiveActivityWidgetBundle {
  // Exactly one widget.
  std::vector<CorvlinLiveActivityWidget> body() const;

  // The exit status when reading, writing or memory fails: EX_IOERR.
  static constexpr int exitIoError = 74;

  // Serves the bundle's widget to the host over the descriptors `input` and `output` until the
  // end of input, and returns 0. When reading, writing or memory fails, writes one line saying
  // so on `errors` and returns exitIoError.
  static int main(int input, int output, int errors, const Now& now);
};

}  // namespace corvlin
