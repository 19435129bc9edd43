// A step the phone took on a push, and the steps of one push as the update rules answer them.
#pragma once

#include <cstddef>
#include <vector>

#include "host/warning/warning.hpp"
#include "updates/update_rules.hpp"

namespace corvlin::host::board {

// The update rules' own step, a push's or one that time alone caused (stale, systemEnd,
// dismissal), and beside it the push's warnings, paths from the body's root, which only the
// push's own step carries.
struct TakenStep {
  updates::Step step;
  std::vector<Warning> warnings;
};

// The steps one push caused, in order: the time steps due by its arrival, its own, and those
// that fall due at once after it. `own` is where its own step is; the rules always give one.
struct TakenSteps {
  std::vector<TakenStep> steps;
  std::size_t own = 0;
};

}  // namespace corvlin::host::board
