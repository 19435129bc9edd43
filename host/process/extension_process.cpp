#include "host/process/extension_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace corvlin::host {
namespace {

using Clock = ChildGroup::Clock;
using Kind = ExtensionFailure::Kind;

ExtensionFailure failure(Kind kind, std::string message) { return {kind, std::move(message)}; }

std::string systemError(const char* what) { return std::string(what) + ": " + strerror(errno); }

void closeDescriptor(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

// Without a descriptor that tells of the child's exit, poll looks again this often.
constexpr int exitCheckMilliseconds = 10;

}  // namespace

Result<ExtensionProcess, ExtensionFailure> ExtensionProcess::start(const std::string& executable) {
  return start(Options{{executable}, std::nullopt, -1});
}

Result<StartedExtension, ExtensionFailure> startExtension(const ExtensionOptions& options) {
  const std::string name = options.arguments.empty() ? "" : options.arguments.front();
  const auto cannotStart = [&](const std::string& why) {
    return Failure{failure(Kind::cannotStart, "cannot start the extension " + name + ": " + why)};
  };
  int input[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
    return cannotStart(systemError("cannot create a socket"));
  }
  int output[2];
  if (::pipe2(output, O_CLOEXEC) != 0) {
    const std::string why = systemError("cannot create a pipe");
    ::close(input[0]);
    ::close(input[1]);
    return cannotStart(why);
  }
  SpawnOptions spawn{options.arguments, options.environment, input[1], output[1],
                     options.standardError};
  auto child = ChildGroup::spawn(spawn);
  ::close(input[1]);
  ::close(output[1]);
  if (!child) {
    ::close(input[0]);
    ::close(output[0]);
    return cannotStart(child.error());
  }
  return StartedExtension{std::move(child).value(), input[0], output[0]};
}

Result<ExtensionProcess, ExtensionFailure> ExtensionProcess::start(const Options& options) {
  auto started = startExtension(options);
  if (!started) return Failure{std::move(started).error()};
  StartedExtension& parts = started.value();
  return ExtensionProcess(std::move(parts.child), parts.input, parts.output);
}

ExtensionProcess::ExtensionProcess(ChildGroup child, int input, int output)
    : child_(std::move(child)), input_(input), output_(output) {}

ExtensionProcess::ExtensionProcess(ExtensionProcess&& other) noexcept
    : child_(std::move(other.child_)),
      input_(std::exchange(other.input_, -1)),
      output_(std::exchange(other.output_, -1)),
      line_(std::move(other.line_)),
      unread_(std::move(other.unread_)),
      ended_(std::move(other.ended_)) {}

ExtensionProcess& ExtensionProcess::operator=(ExtensionProcess&& other) noexcept {
  if (this != &other) {
    closeInput();
    closeOutput();
    child_ = std::move(other.child_);
    input_ = std::exchange(other.input_, -1);
    output_ = std::exchange(other.output_, -1);
    line_ = std::move(other.line_);
    unread_ = std::move(other.unread_);
    ended_ = std::move(other.ended_);
  }
  return *this;
}

ExtensionProcess::~ExtensionProcess() {
  closeInput();
  closeOutput();
  // child_'s destructor ends the group and reaps the child.
}

void ExtensionProcess::closeInput() { closeDescriptor(input_); }
void ExtensionProcess::closeOutput() { closeDescriptor(output_); }

bool ExtensionProcess::running() const { return !ended_ && child_.pid() > 0 && !child_.exited(); }

ExtensionFailure ExtensionProcess::fail(ExtensionFailure why) {
  closeInput();
  closeOutput();
  child_.end();
  ended_ = why;
  return why;
}

ExtensionFailure ExtensionProcess::failOnExit(std::size_t answered, std::size_t wanted,
                                              Clock::time_point deadline) {
  // The extension closed its output or exited before answering: say how it ended.
  closeInput();
  const auto exit = child_.waitUntil(deadline);
  if (!exit)
    return fail(failure(Kind::timedOut, "the extension closed its output but did not exit"));
  if (WIFSIGNALED(exit->status)) {
    return fail(failure(Kind::crashed, "the extension crashed: it " + exit->describe()));
  }
  return fail(
      failure(Kind::exitedEarly,
              "the extension " + exit->describe() + " after " + std::to_string(answered) + " of " +
                  std::to_string(wanted) + " answers" +
                  (line_.empty() ? std::string() : " (its last output was not a complete line)")));
}

Result<std::string, ExtensionFailure> ExtensionProcess::ask(std::string_view requestLine,
                                                            const ExtensionLimits& limits) {
  std::string lines;
  lines.reserve(requestLine.size() + 1);
  lines.append(requestLine);
  lines += '\n';
  std::string answer;
  auto done = exchange(
      lines, 1, [&](std::string&& line) { answer = std::move(line); }, limits);
  if (!done) return Failure{std::move(done).error()};
  return answer;
}

Result<std::size_t, ExtensionFailure> ExtensionProcess::exchange(
    std::string_view lines, std::size_t answers, const std::function<void(std::string&&)>& onAnswer,
    const ExtensionLimits& limits, bool thenCloseInput) {
  if (ended_) {
    return Failure{failure(ended_->kind, "the extension is no longer running: " + ended_->message)};
  }
  const auto deadline = Clock::now() + limits.timeout;
  std::size_t written = 0;
  std::size_t answered = 0;

  // Takes whole answer lines from `bytes`; what comes after the last one wanted is kept for the
  // next call. False when a line is longer than the bound.
  const auto take = [&](std::string_view bytes) {
    while (!bytes.empty()) {
      if (answered == answers) {
        unread_.append(bytes);
        return true;
      }
      const auto newline = bytes.find('\n');
      const auto piece = bytes.substr(0, newline);
      if (line_.size() + piece.size() > limits.maxAnswerBytes) return false;
      line_.append(piece);
      if (newline == std::string_view::npos) return true;
      ++answered;
      onAnswer(std::exchange(line_, std::string()));
      bytes.remove_prefix(newline + 1);
    }
    return true;
  };
  const auto tooLarge = [&] {
    return Failure{
        fail(failure(Kind::answerTooLarge, "the extension's answer is larger than " +
                                               std::to_string(limits.maxAnswerBytes) + " bytes"))};
  };

  if (!take(std::exchange(unread_, std::string()))) return tooLarge();
  char buffer[65536];
  while (answered < answers || written < lines.size()) {
    if (input_ < 0) written = lines.size();  // nothing more can be sent
    if (thenCloseInput && written == lines.size()) closeInput();
    if (Clock::now() >= deadline) {
      return Failure{fail(failure(Kind::timedOut, "the extension gave no answer within " +
                                                      std::to_string(limits.timeout.count()) +
                                                      " ms and was stopped"))};
    }
    const bool writing = written < lines.size() && input_ >= 0;
    pollfd fds[3] = {{output_, POLLIN, 0},
                     {writing ? input_ : -1, POLLOUT, 0},
                     {child_.exitDescriptor(), POLLIN, 0}};
    int wait = millisecondsUntil(deadline);
    if (child_.exitDescriptor() < 0) wait = std::min(wait, exitCheckMilliseconds);
    if (::poll(fds, 3, wait) < 0 && errno != EINTR) {
      return Failure{fail(failure(Kind::crashed, systemError("cannot wait for the extension")))};
    }
    if (fds[1].revents != 0) {
      const ssize_t n = ::send(input_, lines.data() + written, lines.size() - written,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) written += static_cast<std::size_t>(n);
      // The extension closed its input or went away: it cannot take the rest. Its output and
      // its exit say what happened to what it did take.
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        written = lines.size();
        closeInput();
      }
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return Failure{failOnExit(answered, answers, deadline)};
      if (!take(std::string_view(buffer, static_cast<std::size_t>(n)))) return tooLarge();
      continue;  // read all it wrote before asking whether it exited
    }
    const bool exited = child_.exitDescriptor() >= 0 ? fds[2].revents != 0 : child_.exited();
    // Exited while something it started may still hold its output open.
    if (exited) return Failure{failOnExit(answered, answers, deadline)};
  }
  return answered;
}

Result<ChildExit, ExtensionFailure> ExtensionProcess::finish(const ExtensionLimits& limits) {
  if (ended_) {
    return Failure{failure(ended_->kind, "the extension is no longer running: " + ended_->message)};
  }
  const auto deadline = Clock::now() + limits.timeout;
  closeInput();
  char buffer[65536];
  while (output_ >= 0 && !child_.exited() && Clock::now() < deadline) {
    pollfd fds[2] = {{output_, POLLIN, 0}, {child_.exitDescriptor(), POLLIN, 0}};
    int wait = millisecondsUntil(deadline);
    if (child_.exitDescriptor() < 0) wait = std::min(wait, exitCheckMilliseconds);
    ::poll(fds, 2, wait);
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t n = ::read(output_, buffer, sizeof buffer);  // anything more is ignored
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) closeOutput();
    }
  }
  const auto exit = child_.waitUntil(deadline);
  if (!exit) {
    return Failure{fail(failure(
        Kind::timedOut, "the extension answered but did not exit at the end of its input"))};
  }
  closeOutput();
  if (!exit->succeeded()) {
    return Failure{fail(failure(WIFSIGNALED(exit->status) ? Kind::crashed : Kind::exitedEarly,
                                "the extension answered but then " + exit->describe()))};
  }
  ended_ = failure(Kind::exitedEarly, "it was finished and " + exit->describe());
  return *exit;
}

Result<std::vector<std::string>, ExtensionFailure> exchangeWithExtension(
    const std::string& executable, const std::vector<std::string>& requests,
    const ExtensionLimits& limits) {
  const auto started = Clock::now();
  auto process = ExtensionProcess::start(executable);
  if (!process) return Failure{std::move(process).error()};
  std::string lines;
  for (const auto& request : requests) {
    lines += request;
    lines += '\n';
  }
  std::vector<std::string> answers;
  answers.reserve(requests.size());
  auto exchanged = process.value().exchange(
      lines, requests.size(), [&](std::string&& answer) { answers.push_back(std::move(answer)); },
      limits, true);
  if (!exchanged) return Failure{std::move(exchanged).error()};
  // One timeout for the whole exchange, the exit included.
  ExtensionLimits rest = limits;
  rest.timeout = std::max(std::chrono::milliseconds(0),
                          limits.timeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                                               Clock::now() - started));
  auto exit = process.value().finish(rest);
  if (!exit) return Failure{std::move(exit).error()};
  return answers;
}

}  // namespace corvlin::host
