// Runs the extension as a child process and exchanges JSON lines with it, within bounds.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "model/result.hpp"

namespace corvlin::host {

struct ExtensionLimits {
  // How long the whole exchange may take before the extension is killed.
  std::chrono::milliseconds timeout{10000};
  // The longest answer line accepted; a longer one is refused and the extension killed.
  // An honest answer shows each text twice and each chosen action id twice as a deep link,
  // percent-escaped at up to three bytes a byte: at most about six times its request, so this
  // covers the answer to any payload within the 1 MiB input bound.
  std::size_t maxAnswerBytes = 8u << 20;
};

struct ExtensionFailure {
  enum class Kind { cannotStart, crashed, exitedEarly, timedOut, malformedAnswer, answerTooLarge };
  Kind kind = Kind::crashed;
  std::string message;  // says which, for people
};

// Starts `executable`, writes each request as one line, closes its input, and reads one answer
// line per request. The child is always reaped, and killed when it overruns the limits.
Result<std::vector<std::string>, ExtensionFailure> exchangeWithExtension(
    const std::string& executable, const std::vector<std::string>& requests,
    const ExtensionLimits& limits = {});

}  // namespace corvlin::host
