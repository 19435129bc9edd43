// A child process with its standard input and output on pipes, as the host starts the
// extension; for the harnesses.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace corvlin::bench {

struct Child {
  pid_t pid = -1;
  int input = -1;       // the child's standard input, written here
  int output = -1;      // the child's standard output, read here
  std::string pending;  // read from `output`, not yet taken as a line
};

struct ChildExit {
  int status = 0;            // as from wait4()
  long peakResidentKiB = 0;  // ru_maxrss
};

// Starts `path` with no arguments and an empty environment; standard error goes to /dev/null.
std::optional<Child> spawnChild(const char* path);

// Writes all of `bytes` to the child's input.
bool writeAll(Child& child, std::string_view bytes);

// The next line of the child's output without its line break; nothing at the end of output.
std::optional<std::string> readLine(Child& child);

// Closes the child's input, reads its output to the end, and waits for it.
ChildExit finish(Child& child);

// A field of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKiB(pid_t pid, const char* field);

// Monotonic time in nanoseconds.
double monotonicNs();

}  // namespace corvlin::bench
