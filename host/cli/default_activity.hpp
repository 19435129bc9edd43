// The activity built into corvlin-host, used when no file is given, and the one local
// subscribers of serve's broadcast channels start as.
#pragma once

#include "host/payload/activity.hpp"

namespace corvlin::host {

// The embedded default activity, with its countdown moved to end 90 seconds after `now`
// (its file pins the instant the countdown was written against).
Activity defaultActivityAt(double now);

}  // namespace corvlin::host
