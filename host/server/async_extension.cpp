#include "host/server/async_extension.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <boost/asio/local/stream_protocol.hpp>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <cerrno>
#include <optional>

namespace corvlin::host::server {

namespace asio = boost::asio;
using Kind = ExtensionFailure::Kind;
using error_code = boost::system::error_code;

// One running extension and the question it is answering. Its handlers hold it alive; each one
// belongs to a question (its serial) and does nothing once that question has been answered.
class AsyncExtension::Process : public std::enable_shared_from_this<Process> {
 public:
  Process(asio::io_context& io, StartedExtension started, ExtensionLimits limits)
      : io_(io),
        child_(std::move(started.child)),
        input_(io),
        output_(io),
        exit_(io),
        timer_(io),
        limits_(limits) {
    error_code ignored;
    input_.assign(asio::local::stream_protocol(), started.input, ignored);
    output_.assign(started.output);
    output_.native_non_blocking(true, ignored);
    // A copy, so that the child's own descriptor stays the child's to close when it is reaped.
    if (child_.exitDescriptor() >= 0) {
      const int copy = ::fcntl(child_.exitDescriptor(), F_DUPFD_CLOEXEC, 0);
      if (copy >= 0) exit_.assign(copy);
    }
  }

  bool running() const { return !ended_ && !child_.exited(); }

  // Watches for the child's exit, once, for its whole life.
  void watchExit() {
    if (!exit_.is_open()) return;
    exit_.async_wait(asio::posix::stream_descriptor::wait_read,
                     [self = shared_from_this()](const error_code& ec) {
                       if (!ec && self->answered_) self->onExit();
                     });
  }

  void ask(std::string requestLine, Answered answered) {
    const std::uint64_t serial = ++serial_;
    request_ = std::move(requestLine);
    request_ += '\n';
    answered_ = std::move(answered);
    written_ = false;
    outputClosed_ = false;
    answer_.reset();
    timer_.expires_after(limits_.timeout);
    timer_.async_wait([self = shared_from_this(), serial](const error_code& ec) {
      if (ec || !self->current(serial)) return;
      self->fail({Kind::timedOut, self->outputClosed_
                                      ? "the extension closed its output but did not exit"
                                      : "the extension gave no answer within " +
                                            std::to_string(self->limits_.timeout.count()) +
                                            " ms and was stopped"});
    });
    if (!take(std::exchange(unread_, std::string()))) return;
    asio::async_write(input_, asio::buffer(request_),
                      [self = shared_from_this(), serial](const error_code& ec, std::size_t) {
                        if (!self->current(serial)) return;
                        // The extension closed its input or went away: it cannot take the rest.
                        // Its output and its exit say what happened to what it did take.
                        if (ec) self->closeInput();
                        self->written_ = true;
                        self->completeIfDone();
                      });
    if (!answer_) readMore(serial);
  }

  // Ends the group and reaps the child; a question still open is dropped unanswered.
  void abandon() {
    answered_ = nullptr;
    end();
  }

 private:
  bool current(std::uint64_t serial) const { return serial == serial_ && answered_ != nullptr; }

  void readMore(std::uint64_t serial) {
    output_.async_read_some(asio::buffer(buffer_), [self = shared_from_this(), serial](
                                                       const error_code& ec, std::size_t n) {
      if (!self->current(serial)) return;
      if (ec) return self->failOnExit();  // the end of its output, or a broken pipe
      if (!self->take(std::string_view(self->buffer_.data(), n))) return;
      if (self->answer_) return self->completeIfDone();
      self->readMore(serial);
    });
  }

  // Takes the answer line from `bytes`; what comes after it is kept for the next question.
  // False when the line is longer than the bound (the question is then answered with that).
  bool take(std::string_view bytes) {
    while (!bytes.empty()) {
      if (answer_) {
        unread_.append(bytes);
        return true;
      }
      const auto newline = bytes.find('\n');
      const auto piece = bytes.substr(0, newline);
      if (line_.size() + piece.size() > limits_.maxAnswerBytes) {
        fail({Kind::answerTooLarge, "the extension's answer is larger than " +
                                        std::to_string(limits_.maxAnswerBytes) + " bytes"});
        return false;
      }
      line_.append(piece);
      if (newline == std::string_view::npos) return true;
      answer_ = std::exchange(line_, std::string());
      bytes.remove_prefix(newline + 1);
    }
    return true;
  }

  // The child exited while answering: what it wrote before is read first, as it may have
  // answered and then exited, or left something it started holding its output open.
  void onExit() {
    std::array<char, 65536> bytes;
    for (;;) {
      const ssize_t n = ::read(output_.native_handle(), bytes.data(), bytes.size());
      if (n > 0) {
        if (!take(std::string_view(bytes.data(), static_cast<std::size_t>(n)))) return;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    if (answer_) {
      closeInput();  // a write still under way can only fail now
      written_ = true;
      return completeIfDone();
    }
    failOnExit();
  }

  // The extension closed its output or exited before answering: say how it ended.
  void failOnExit() {
    outputClosed_ = true;
    closeInput();
    if (!child_.exited()) {
      // The exit watch (or, without one, the poll below) finishes this; the timer bounds it.
      if (exit_.is_open()) return;
      if (!child_.waitUntil(ChildGroup::Clock::now() + limits_.timeout)) {
        return fail({Kind::timedOut, "the extension closed its output but did not exit"});
      }
    }
    const ChildExit exit = child_.end();
    if (WIFSIGNALED(exit.status)) {
      return fail({Kind::crashed, "the extension crashed: it " + exit.describe()});
    }
    fail({Kind::exitedEarly,
          "the extension " + exit.describe() + " after 0 of 1 answers" +
              (line_.empty() ? std::string() : " (its last output was not a complete line)")});
  }

  void fail(ExtensionFailure failure) {
    end();
    finish(Failure{std::move(failure)});
  }

  void completeIfDone() {
    if (answer_ && written_) finish(std::move(*answer_));
  }

  // Answers the question from the event loop, never from within ask().
  void finish(Result<std::string, ExtensionFailure> result) {
    timer_.cancel();
    answer_.reset();
    asio::post(io_, [answered = std::exchange(answered_, nullptr),
                     result = std::move(result)]() mutable { answered(std::move(result)); });
  }

  void closeInput() {
    error_code ignored;
    input_.close(ignored);
  }

  void end() {
    ended_ = true;
    error_code ignored;
    closeInput();
    output_.close(ignored);
    exit_.close(ignored);
    timer_.cancel();
    child_.end();
  }

  asio::io_context& io_;
  ChildGroup child_;
  asio::local::stream_protocol::socket input_;  // its send() never raises SIGPIPE
  asio::posix::stream_descriptor output_;
  asio::posix::stream_descriptor exit_;
  asio::steady_timer timer_;
  ExtensionLimits limits_;
  std::uint64_t serial_ = 0;
  Answered answered_;  // empty while no question is open
  std::string request_;
  std::string line_;    // the start of an answer line not yet complete
  std::string unread_;  // read after an answer: the next question's first bytes
  std::optional<std::string> answer_;
  bool written_ = false;
  bool outputClosed_ = false;
  bool ended_ = false;
  std::array<char, 65536> buffer_{};
};

AsyncExtension::AsyncExtension(asio::io_context& io, ExtensionOptions options,
                               ExtensionLimits limits)
    : io_(io), options_(std::move(options)), limits_(limits) {}

AsyncExtension::~AsyncExtension() {
  // Asio's cancel and close may throw; a destructor must not, and the child group is ended and
  // reaped by its own destructor whatever happens here.
  try {
    if (process_) process_->abandon();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to do on this path
  }
}

void AsyncExtension::ask(std::string requestLine, Answered answered) {
  if (!process_ || !process_->running()) {
    if (process_) process_->abandon();
    process_.reset();
    auto started = startExtension(options_);
    if (!started) {
      asio::post(io_, [answered = std::move(answered), why = std::move(started).error()]() {
        answered(Failure{why});
      });
      return;
    }
    process_ = std::make_shared<Process>(io_, std::move(started).value(), limits_);
    process_->watchExit();
  }
  process_->ask(std::move(requestLine), std::move(answered));
}

}  // namespace corvlin::host::server
