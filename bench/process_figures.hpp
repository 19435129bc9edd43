// Figures the harnesses read about a process: its memory, and the monotonic time.
#pragma once

#include <sys/types.h>

namespace corvlin::bench {

// A field of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKiB(pid_t pid, const char* field);

// Monotonic time in nanoseconds.
double monotonicNs();

}  // namespace corvlin::bench
