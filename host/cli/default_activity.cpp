#include "host/cli/default_activity.hpp"

#include <simdjson.h>

#include <string>

#include "host/samples/samples.hpp"

namespace corvlin::host {

Activity defaultActivityAt(double now) {
  Activity activity = decodeActivity(defaultActivity()).value();
  simdjson::dom::parser parser;
  double writtenAt = 0;
  if (activity.state.timerEnd &&
      !parser.parse(std::string(defaultActivity()))["now"].get(writtenAt)) {
    activity.state.timerEnd = now + (*activity.state.timerEnd - writtenAt);
  }
  return activity;
}

}  // namespace corvlin::host
