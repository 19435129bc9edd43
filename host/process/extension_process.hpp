// The extension as a child process: JSON lines in and out, within a time and a size bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/process/child_process.hpp"
#include "json/result.hpp"
#include "protocol/extension_failure.hpp"

namespace corvlin::host {

struct ExtensionLimits {
  // How long one exchange (or the whole one-shot exchange) may take before the extension is
  // killed.
  std::chrono::milliseconds timeout{10000};
  // The longest answer line accepted; a longer one is refused and the extension killed.
  // An honest answer shows each text twice and each chosen action id twice as a deep link,
  // percent-escaped at up to three bytes a byte: at most about six times its request, so this
  // covers the answer to any payload within the 1 MiB input bound.
  std::size_t maxAnswerBytes = 8u << 20;
};

using protocol::ExtensionFailure;

// A started extension and this side's ends of its standard input (a socket, to be written with
// MSG_NOSIGNAL) and output (a pipe), both close-on-exec, for a caller that drives the exchange
// itself, as the server's event loop does. The caller owns and closes the two descriptors.
struct StartedExtension {
  ChildGroup child;
  int input = -1;
  int output = -1;
};

// One running extension process that answers requests one after another, for as long as it
// lives. It starts in a process group of its own, with default signal dispositions and an empty
// signal mask (see ChildGroup). Its standard input is a socket written with MSG_NOSIGNAL, so a
// write to an extension that has gone is its failure and never a SIGPIPE here.
//
// Any failure ends it: the group is killed and the child reaped before the failure is
// returned, and `running()` is false from then on; a caller that wants to go on starts a new
// one. The destructor ends the group and reaps the child. Movable, not copyable; one thread at
// a time.
struct ExtensionOptions {
  std::vector<std::string> arguments;                   // argv; the first is the program's path
  std::optional<std::vector<std::string>> environment;  // nothing: this process's
  int standardError = -1;  // a descriptor for the child's standard error; -1: this process's
};

// Starts the extension as ExtensionProcess does; the failure is `cannotStart`.
Result<StartedExtension, ExtensionFailure> startExtension(const ExtensionOptions& options);

class ExtensionProcess {
 public:
  using Options = ExtensionOptions;

  static Result<ExtensionProcess, ExtensionFailure> start(const std::string& executable);
  static Result<ExtensionProcess, ExtensionFailure> start(const Options& options);

  ExtensionProcess(ExtensionProcess&& other) noexcept;
  ExtensionProcess& operator=(ExtensionProcess&& other) noexcept;
  ExtensionProcess(const ExtensionProcess&) = delete;
  ExtensionProcess& operator=(const ExtensionProcess&) = delete;
  ~ExtensionProcess();

  // Sends one request line (without its line break) and reads one answer line, within the
  // limits.
  Result<std::string, ExtensionFailure> ask(std::string_view requestLine,
                                            const ExtensionLimits& limits = {});

  // Sends `lines` (each ending in a line break), and while sending reads `answers` answer lines,
  // handing each to `onAnswer` as it comes; all within the limits. The pipelined form of ask().
  // With `thenCloseInput`, the extension's input is closed once every line is sent, so that it
  // sees the end of its input (the one-shot form); no later call can send more.
  Result<std::size_t, ExtensionFailure> exchange(
      std::string_view lines, std::size_t answers,
      const std::function<void(std::string&& answer)>& onAnswer, const ExtensionLimits& limits,
      bool thenCloseInput = false);

  // Closes the extension's input and waits for it to exit within the timeout, discarding any
  // further output. A failure unless it exits with status 0.
  Result<ChildExit, ExtensionFailure> finish(const ExtensionLimits& limits = {});

  // False once the extension has failed, exited or been finished.
  bool running() const;
  // The child's process id and group id; -1 once it has ended.
  pid_t pid() const { return child_.pid(); }

 private:
  ExtensionProcess(ChildGroup child, int input, int output);
  ExtensionFailure fail(ExtensionFailure failure);
  ExtensionFailure failOnExit(std::size_t answered, std::size_t wanted,
                              ChildGroup::Clock::time_point deadline);
  void closeInput();
  void closeOutput();

  ChildGroup child_;
  int input_ = -1;      // the extension's standard input, a socket
  int output_ = -1;     // the extension's standard output, a pipe
  std::string line_;    // the start of an answer line not yet complete
  std::string unread_;  // read after the last answer asked for: the next call's first bytes
  std::optional<ExtensionFailure> ended_;
};

// One-shot: starts `executable`, writes each request as one line, closes its input, reads one
// answer line per request and expects the extension to exit with status 0 at the end of its
// input, all within the limits. The group is always ended and the child reaped.
Result<std::vector<std::string>, ExtensionFailure> exchangeWithExtension(
    const std::string& executable, const std::vector<std::string>& requests,
    const ExtensionLimits& limits = {});

}  // namespace corvlin::host
