#include "host/process/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

extern char** environ;

namespace corvlin::host {
namespace {

// The groups of the children running now, for the termination handler below. A signal handler
// can reach nothing but static storage, so this table is the one piece of static state of the
// process code; its slots are lock-free atomics, the only shared objects a handler may read.
// 0 marks a free slot.
constexpr int maxListedGroups = 1024;
std::atomic<pid_t> listedGroups[maxListedGroups];
static_assert(std::atomic<pid_t>::is_always_lock_free);

int listGroup(pid_t group) {
  for (int i = 0; i < maxListedGroups; ++i) {
    pid_t expected = 0;
    if (listedGroups[i].compare_exchange_strong(expected, group)) return i;
  }
  return -1;
}

constexpr int terminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void endGroupsThenDie(int signal) {
  endEveryChildGroup();
  // SA_RESETHAND has restored the default action and SA_NODEFER lets it act at once, so this
  // process ends with the signal it got, as it would have without the handler.
  ::raise(signal);
}

// Installed once, on the first start, for each termination signal this process leaves at its
// default action; a signal this process ignores or handles itself is left alone.
void installTerminationHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int signal : terminationSignals) {
      struct sigaction current {};
      if (::sigaction(signal, nullptr, &current) != 0) continue;
      if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
      struct sigaction handler {};
      handler.sa_handler = endGroupsThenDie;
      handler.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
      sigemptyset(&handler.sa_mask);
      ::sigaction(signal, &handler, nullptr);
    }
  });
}

// `fd`, or a close-on-exec copy of it above 2 when it is a standard descriptor (closed here).
int aboveStandardDescriptors(int fd) {
  if (fd > STDERR_FILENO) return fd;
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int error = errno;
  ::close(fd);
  errno = error;
  return copy;
}

// In the child after the fork: sends errno to the parent and ends.
[[noreturn]] void childFailed(int report) {
  const int error = errno;
  [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
  ::_exit(127);
}

// The errno of a failed exec, or 0 once the exec closed the pipe.
int readReport(int report) {
  int error = 0;
  ssize_t n = 0;
  while ((n = ::read(report, &error, sizeof error)) < 0 && errno == EINTR) {
  }
  return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

void endEveryChildGroup() noexcept {
  for (auto& slot : listedGroups) {
    const pid_t group = slot.load();
    if (group > 0) ::kill(-group, SIGKILL);
  }
}

bool ChildExit::succeeded() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

std::string ChildExit::describe() const {
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    return "was killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
  }
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "stopped";
}

Result<ChildGroup, std::string> ChildGroup::spawn(const SpawnOptions& options) {
  if (options.arguments.empty()) return Failure{std::string("no program given")};
  installTerminationHandlers();

  std::vector<std::string> arguments = options.arguments;
  std::vector<std::string> environment;
  if (options.environment) {
    environment = *options.environment;
  } else {
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
  }
  std::vector<char*> argv = pointersTo(arguments);
  std::vector<char*> envp = pointersTo(environment);

  const int targets[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
  const int sources[] = {options.input, options.output, options.error};
  // The child reports a failed exec through this pipe; a successful one closes it. Its ends lie
  // above the standard descriptors, which the child replaces or closes.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return Failure{std::string(strerror(errno))};
  for (int& end : report) end = aboveStandardDescriptors(end);
  if (report[0] < 0 || report[1] < 0) {
    const int error = errno;
    for (int end : report) {
      if (end >= 0) ::close(end);
    }
    return Failure{std::string(strerror(error))};
  }

  // Every signal is blocked from before the fork until the group is listed: no termination
  // signal may come between the start and the listing (the handler would miss a child that
  // then outlives this process), and no handler of this process may run in the child.
  sigset_t all;
  sigfillset(&all);
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  const pid_t parent = ::getpid();
  ChildGroup child;
  child.pid_ = ::fork();
  if (child.pid_ == 0) {
    // The child: only async-signal-safe calls from here to the exec.
    ::setpgid(0, 0);
    // A child whose parent dies, however it dies, is killed with it, so that no extension
    // outlives its host. The parent may already have gone before this took effect.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    for (int i = 0; i < 3; ++i) {
      if (sources[i] == targets[i]) {
        ::fcntl(targets[i], F_SETFD, 0);
      } else if (sources[i] >= 0) {
        if (::dup2(sources[i], targets[i]) < 0) childFailed(report[1]);
      } else if (sources[i] == SpawnOptions::closed) {
        ::close(targets[i]);
      }
    }
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv.front(), argv.data(), envp.data());
    childFailed(report[1]);
  }
  const int forkError = child.pid_ < 0 ? errno : 0;
  ::close(report[1]);
  int execError = 0;
  if (child.pid_ > 0) {
    // The group is the child's own before anything here signals it, exec or not.
    ::setpgid(child.pid_, child.pid_);
    execError = readReport(report[0]);
    if (execError == 0) child.slot_ = listGroup(child.pid_);
  }
  ::close(report[0]);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  if (forkError != 0) {
    child.pid_ = -1;
    return Failure{std::string(strerror(forkError))};
  }
  if (execError != 0) {
    child.reap();
    return Failure{std::string(strerror(execError))};
  }
  if (child.slot_ < 0) {
    child.end();
    return Failure{"more than " + std::to_string(maxListedGroups) + " children are running"};
  }
  // Through syscall(): glibc 2.36's <sys/pidfd.h> declares pidfd_open without C linkage.
  child.pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, child.pid_, 0));
  return child;
}

ChildGroup::ChildGroup(ChildGroup&& other) noexcept { *this = std::move(other); }

ChildGroup& ChildGroup::operator=(ChildGroup&& other) noexcept {
  if (this != &other) {
    if (pid_ > 0) end();
    pid_ = other.pid_;
    pidfd_ = other.pidfd_;
    slot_ = other.slot_;
    exit_ = other.exit_;
    other.pid_ = -1;
    other.pidfd_ = -1;
    other.slot_ = -1;
  }
  return *this;
}

ChildGroup::~ChildGroup() {
  if (pid_ > 0) end();
}

bool ChildGroup::exited() const {
  if (pid_ <= 0) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return errno != EINTR;
  }
  return info.si_pid == pid_;
}

std::optional<ChildExit> ChildGroup::waitUntil(Clock::time_point deadline) {
  while (!exited()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    if (pidfd_ >= 0) {
      pollfd exit{pidfd_, POLLIN, 0};
      ::poll(&exit, 1, static_cast<int>(std::min<long long>(left, 1 << 30)));
    } else {
      ::usleep(1000);
    }
  }
  return end();
}

ChildExit ChildGroup::end() {
  if (exit_) return *exit_;
  return reap();
}

ChildExit ChildGroup::reap() {
  ChildExit result;
  if (pid_ <= 0) return result;
  // Kill before reaping: until it is reaped, the child's id cannot be reused, so the signal
  // reaches only its own group, including whatever it left behind after exiting.
  ::kill(-pid_, SIGKILL);
  if (slot_ >= 0) listedGroups[slot_].store(0);
  slot_ = -1;
  rusage usage{};
  while (::wait4(pid_, &result.status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.peakResidentKiB = usage.ru_maxrss;
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  pid_ = -1;
  exit_ = result;
  return result;
}

}  // namespace corvlin::host
