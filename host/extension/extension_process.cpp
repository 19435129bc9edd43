#include "host/extension/extension_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

extern char** environ;

namespace corvlin::host {
namespace {

using Clock = std::chrono::steady_clock;

ExtensionFailure failure(ExtensionFailure::Kind kind, std::string message) {
  return {kind, std::move(message)};
}

// Closes a descriptor once, on every path out.
struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

// Kills (when asked) and reaps the child on every path out, so no zombie is left behind.
struct Child {
  pid_t pid = -1;
  bool reaped = false;
  int status = 0;
  ~Child() {
    if (pid > 0 && !reaped) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  void kill() {
    if (pid > 0 && !reaped) ::kill(pid, SIGKILL);
  }
  // Waits for the exit, at most until `deadline`; false when it did not exit in time.
  bool waitUntil(Clock::time_point deadline) {
    while (!reaped) {
      const pid_t r = ::waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        reaped = true;
        break;
      }
      if (r < 0 && errno != EINTR) {
        reaped = true;
        break;
      }
      if (Clock::now() >= deadline) return false;
      ::usleep(1000);
    }
    return true;
  }
};

std::string describeStatus(int status) {
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    return "was killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
  }
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  return "stopped";
}

int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

Result<std::vector<std::string>, ExtensionFailure> exchangeWithExtension(
    const std::string& executable, const std::vector<std::string>& requests,
    const ExtensionLimits& limits) {
  using Kind = ExtensionFailure::Kind;
  const auto deadline = Clock::now() + limits.timeout;

  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    return Failure{
        failure(Kind::cannotStart, std::string("cannot create a pipe: ") + strerror(errno))};
  }
  Fd childIn(in[0]), toChild(in[1]);
  if (::pipe2(out, O_CLOEXEC) != 0) {
    return Failure{
        failure(Kind::cannotStart, std::string("cannot create a pipe: ") + strerror(errno))};
  }
  Fd fromChild(out[0]), childOut(out[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childIn.fd, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, childOut.fd, STDOUT_FILENO);
  Child child;
  char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
  const int spawned =
      ::posix_spawn(&child.pid, executable.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    child.pid = -1;
    return Failure{failure(Kind::cannotStart,
                           "cannot start the extension " + executable + ": " + strerror(spawned))};
  }
  childIn.reset();
  childOut.reset();
  ::fcntl(toChild.fd, F_SETFL, O_NONBLOCK);

  std::string pending;
  for (const auto& request : requests) {
    pending += request;
    pending += '\n';
  }
  std::size_t written = 0;
  if (pending.empty()) toChild.reset();

  std::vector<std::string> answers;
  answers.reserve(requests.size());
  std::string line;
  char buffer[65536];
  bool childClosedOutput = false;

  while (answers.size() < requests.size()) {
    if (Clock::now() >= deadline) {
      child.kill();
      return Failure{failure(Kind::timedOut, "the extension gave no answer within " +
                                                 std::to_string(limits.timeout.count()) +
                                                 " ms and was stopped")};
    }
    pollfd fds[2] = {{fromChild.fd, POLLIN, 0}, {toChild.fd, POLLOUT, 0}};
    const nfds_t count = toChild.fd >= 0 ? 2 : 1;
    const int ready = ::poll(fds, count, millisecondsUntil(deadline));
    if (ready < 0 && errno != EINTR) {
      child.kill();
      return Failure{
          failure(Kind::crashed, std::string("cannot wait for the extension: ") + strerror(errno))};
    }
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(toChild.fd, pending.data() + written, pending.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      // A closed input means the extension went away; its exit status says why, below.
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == pending.size())
        toChild.reset();
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::read(fromChild.fd, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        childClosedOutput = true;
        break;
      }
      std::string_view chunk(buffer, static_cast<std::size_t>(n));
      while (!chunk.empty() && answers.size() < requests.size()) {
        const auto newline = chunk.find('\n');
        const auto piece = chunk.substr(0, newline);
        if (line.size() + piece.size() > limits.maxAnswerBytes) {
          child.kill();
          return Failure{failure(Kind::answerTooLarge, "the extension's answer is larger than " +
                                                           std::to_string(limits.maxAnswerBytes) +
                                                           " bytes")};
        }
        line += piece;
        if (newline == std::string_view::npos) break;
        answers.push_back(std::move(line));
        line.clear();
        chunk.remove_prefix(newline + 1);
      }
    }
  }
  toChild.reset();

  if (answers.size() < requests.size()) {
    // The extension closed its output early: say how it ended.
    if (!child.waitUntil(deadline)) {
      child.kill();
      return Failure{failure(Kind::timedOut, "the extension closed its output but did not exit")};
    }
    const int status = child.status;
    if (WIFSIGNALED(status)) {
      return Failure{failure(Kind::crashed, "the extension crashed: it " + describeStatus(status))};
    }
    (void)childClosedOutput;
    return Failure{failure(
        Kind::exitedEarly,
        "the extension " + describeStatus(status) + " after " + std::to_string(answers.size()) +
            " of " + std::to_string(requests.size()) + " answers" +
            (line.empty() ? std::string() : " (its last output was not a complete line)"))};
  }

  // All answers are in; the extension should exit at the end of its input.
  fromChild.reset();
  if (!child.waitUntil(deadline)) {
    child.kill();
    return Failure{
        failure(Kind::timedOut, "the extension answered but did not exit at the end of its input")};
  }
  if (!WIFEXITED(child.status) || WEXITSTATUS(child.status) != 0) {
    return Failure{failure(WIFSIGNALED(child.status) ? Kind::crashed : Kind::exitedEarly,
                           "the extension answered but then " + describeStatus(child.status))};
  }
  return answers;
}

}  // namespace corvlin::host
