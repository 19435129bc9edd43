#include "host/process/extension_client.hpp"

#include <sys/wait.h>

#include <utility>
#include <variant>

namespace corvlin::host {
namespace {

using Kind = ExtensionFailure::Kind;
using Lines = protocol::LineReader;

}  // namespace

ExtensionFailure cannotStartExtension(const std::string& name, const std::string& why) {
  return {Kind::cannotStart, "cannot start the extension " + name + ": " + why};
}

ExtensionFailure cannotWaitForExtension(const std::string& why) {
  return {Kind::crashed, "cannot wait for the extension: " + why};
}

std::optional<ExtensionFailure> ExtensionClient::begin(std::string_view lines, std::size_t answers,
                                                       const ExtensionLimits& limits,
                                                       AnswerSink onAnswer) {
  if (auto refused = refusal()) return refused;
  lines_ = lines;
  sent_ = 0;
  wanted_ = answers;
  answered_ = 0;
  limits_ = limits;
  onAnswer_ = std::move(onAnswer);
  outputEnded_ = false;
  reader_.setMaxLineBytes(limits.maxAnswerBytes);
  return std::nullopt;
}

std::optional<ExtensionFailure> ExtensionClient::refusal() const {
  if (!ending_) return std::nullopt;
  return ExtensionFailure{ending_->kind, "the extension is no longer running: " + ending_->message};
}

std::optional<ExtensionFailure> ExtensionClient::read(std::string_view bytes) {
  reader_.feed(bytes);
  while (answered_ < wanted_) {
    const Lines::Next next = reader_.next();
    if (const auto* line = std::get_if<Lines::Line>(&next)) {
      ++answered_;
      onAnswer_(std::string(line->text));
      continue;
    }
    if (std::holds_alternative<Lines::TooLong>(next) || reader_.overBound()) {
      return end({Kind::answerTooLarge, "the extension's answer is larger than " +
                                            std::to_string(limits_.maxAnswerBytes) + " bytes"});
    }
    return std::nullopt;  // every byte is taken
  }
  reader_.keep();  // the next exchange's first bytes
  return std::nullopt;
}

ExtensionFailure ExtensionClient::timedOut() {
  if (outputEnded_)
    return end({Kind::timedOut, "the extension closed its output but did not exit"});
  return end({Kind::timedOut, "the extension gave no answer within " +
                                  std::to_string(limits_.timeout.count()) + " ms and was stopped"});
}

ExtensionFailure ExtensionClient::exited(const ChildExit& exit) {
  if (WIFSIGNALED(exit.status)) {
    return end({Kind::crashed, "the extension crashed: it " + exit.describe()});
  }
  return end({Kind::exitedEarly,
              "the extension " + exit.describe() + " after " + std::to_string(answered_) + " of " +
                  std::to_string(wanted_) + " answers" +
                  (reader_.midLine() ? " (its last output was not a complete line)" : "")});
}

ExtensionFailure ExtensionClient::failed(ExtensionFailure failure) {
  return end(std::move(failure));
}

ExtensionFailure ExtensionClient::finishTimedOut() {
  return end({Kind::timedOut, "the extension answered but did not exit at the end of its input"});
}

std::optional<ExtensionFailure> ExtensionClient::finished(const ChildExit& exit) {
  if (!exit.succeeded()) {
    return end({WIFSIGNALED(exit.status) ? Kind::crashed : Kind::exitedEarly,
                "the extension answered but then " + exit.describe()});
  }
  ending_ = ExtensionFailure{Kind::exitedEarly, "it was finished and " + exit.describe()};
  return std::nullopt;
}

ExtensionFailure ExtensionClient::end(ExtensionFailure failure) {
  ending_ = failure;
  return failure;
}

}  // namespace corvlin::host
