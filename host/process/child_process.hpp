// Starts a program in a process group of its own, and always ends that group and reaps it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "json/result.hpp"

namespace corvlin::host {

struct SpawnOptions {
  // argv; the first is the program's path.
  std::vector<std::string> arguments;
  // The child's whole environment ("NAME=value"); nothing: this process's environment.
  std::optional<std::vector<std::string>> environment;
  // Descriptors that become the child's standard input, output and error; -1 leaves it as
  // here, `closed` closes it in the child.
  static constexpr int closed = -2;
  int input = -1;
  int output = -1;
  int error = -1;
};

// How a child ended, from wait4().
struct ChildExit {
  int status = 0;
  long peakResidentKiB = 0;  // ru_maxrss

  bool succeeded() const;
  // "exited with status 2", "was killed by signal 11 (Segmentation fault)".
  std::string describe() const;
};

// One child, the leader of its own process group, started with default signal dispositions and
// an empty signal mask. The destructor kills the whole group (the child and whatever it
// started) and reaps the child. Movable, not copyable.
//
// Should this process die without ending it (SIGKILL, a crash), the kernel kills the child
// (PR_SET_PDEATHSIG): no child outlives its parent. The kernel takes the thread that started
// the child as its parent, so a child is started from a thread that lives as long as it does.
// What the child itself starts is its own affair: only the group's end reaches that.
//
// While a child is running, its group is also listed where a signal handler can reach it: when
// this process gets SIGINT, SIGTERM or SIGHUP and has no handler of its own for it, every
// listed group is killed before this process ends with that signal. A program with its own
// handler for these calls endEveryChildGroup() from it.
class ChildGroup {
 public:
  using Clock = std::chrono::steady_clock;

  // The error says why the program could not be started.
  static Result<ChildGroup, std::string> spawn(const SpawnOptions& options);

  ChildGroup(ChildGroup&& other) noexcept;
  ChildGroup& operator=(ChildGroup&& other) noexcept;
  ChildGroup(const ChildGroup&) = delete;
  ChildGroup& operator=(const ChildGroup&) = delete;
  ~ChildGroup();

  // The child's process id, which is also its group's id; -1 once it has been reaped.
  pid_t pid() const { return pid_; }
  // A descriptor that polls readable once the child has exited; -1 when the kernel has none
  // (then poll with a short timeout and ask exited()).
  int exitDescriptor() const { return pidfd_; }
  // True once the child has exited (it is not reaped yet, so its id stays its own).
  bool exited() const;
  // Waits for the child to exit until `deadline`; then ends the group and reaps the child.
  // Nothing when the child is still running at the deadline.
  std::optional<ChildExit> waitUntil(Clock::time_point deadline);
  // Kills the group, reaps the child and says how it ended; the same again after that.
  ChildExit end();

 private:
  ChildGroup() = default;
  ChildExit reap();

  pid_t pid_ = -1;
  int pidfd_ = -1;
  int slot_ = -1;  // where the group is listed for the signal handler
  std::optional<ChildExit> exit_;
};

// Kills every listed child group. Safe to call from a signal handler.
void endEveryChildGroup() noexcept;

}  // namespace corvlin::host
