// The extension process: serves presentation requests on standard input and output.
#include <chrono>
#include <iostream>

#include "app/widget.hpp"

int main() {
  std::ios::sync_with_stdio(false);
  // The one place where the real clock is read; every view reads it through this.
  const corvlin::Now realNow = [] {
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return corvlin::Instant{std::chrono::duration<double>(since1970).count()};
  };
  return corvlin::CorvlinLiveActivityWidgetBundle::main(std::cin, std::cout, realNow);
}
