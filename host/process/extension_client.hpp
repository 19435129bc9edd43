// The extension client's own part, which does no input or output: the state of an exchange (the
// request lines still to send, the answers wanted and read through the one line reader) and how
// each way the extension can fail is classified and told. The blocking driver (ExtensionProcess)
// and the event loop's (server::AsyncExtension) feed it what their descriptors, timers and the
// child's exit say, so that both frame, classify and word alike.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/process/child_process.hpp"
#include "json/result.hpp"
#include "protocol/extension_failure.hpp"
#include "protocol/line_reader.hpp"

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

// One extension's exchanges, one after another, until it fails or is finished. Every failure it
// gives is also remembered: from then on it is ended, and a new exchange is refused.
class ExtensionClient {
 public:
  using AnswerSink = std::function<void(std::string&& answer)>;

  // Begins an exchange: `lines` to send (each ending in a line break; the caller keeps them as
  // they are until they are sent), `answers` answer lines to read, each handed to `onAnswer`,
  // within `limits`. The refusal when the extension has failed or been finished; the driver
  // then feeds read({}), which takes the bytes kept from the last exchange.
  std::optional<ExtensionFailure> begin(std::string_view lines, std::size_t answers,
                                        const ExtensionLimits& limits, AnswerSink onAnswer);

  // What is still to be written to the extension's input, and how much of it went out.
  std::string_view unsent() const { return lines_.substr(sent_); }
  void sent(std::size_t bytes) { sent_ += bytes; }
  // Its input was closed or refused a write: nothing more can be sent. Its output and its exit
  // say what happened to what it did take.
  void inputGone() { sent_ = lines_.size(); }

  // Bytes read from its output: each answer line goes to the sink, up to the number wanted;
  // what comes after is kept for the next exchange. The answerTooLarge failure as soon as an
  // answer line goes past the bound.
  std::optional<ExtensionFailure> read(std::string_view bytes);

  std::size_t answered() const { return answered_; }
  bool answeredAll() const { return answered_ == wanted_; }
  bool done() const { return answeredAll() && unsent().empty(); }
  bool ended() const { return ending_.has_value(); }
  // "the extension is no longer running: ..." once it has ended; nothing before.
  std::optional<ExtensionFailure> refusal() const;

  // How the exchange failed. Its output ended (or could not be read) before every answer came:
  // what follows is its exit, or the timeout.
  void outputEnded() { outputEnded_ = true; }
  // The timeout passed: it gave no answer in time, or closed its output but did not exit.
  ExtensionFailure timedOut();
  // It exited before every answer came: crashed (a signal) or exitedEarly (a status).
  ExtensionFailure exited(const ChildExit& exit);
  // Any other failure, such as one of this side's system calls.
  ExtensionFailure failed(ExtensionFailure failure);

  // Finishing: it was asked to exit at the end of its input. It did not within the timeout;
  // or it did, which is a failure unless with status 0.
  ExtensionFailure finishTimedOut();
  std::optional<ExtensionFailure> finished(const ChildExit& exit);

 private:
  ExtensionFailure end(ExtensionFailure failure);

  protocol::LineReader reader_{0};
  std::string_view lines_;
  std::size_t sent_ = 0;
  std::size_t wanted_ = 0;
  std::size_t answered_ = 0;
  ExtensionLimits limits_;
  AnswerSink onAnswer_;
  bool outputEnded_ = false;
  std::optional<ExtensionFailure> ending_;  // why it ended
};

// "cannot start the extension NAME: WHY".
ExtensionFailure cannotStartExtension(const std::string& name, const std::string& why);
// "cannot wait for the extension: WHY", when this side cannot watch it.
ExtensionFailure cannotWaitForExtension(const std::string& why);

}  // namespace corvlin::host
