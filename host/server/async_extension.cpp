#include "host/server/async_extension.hpp"

#include <fcntl.h>
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
using error_code = boost::system::error_code;

// One running extension and the question it is answering, driven from the event loop; the
// framing, the failures and their messages are the ExtensionClient's, as for the blocking
// driver. Its handlers hold it alive; each one belongs to a question (its serial) and does
// nothing once that question has been answered.
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

  bool running() const { return !client_.ended() && !child_.exited(); }

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
    answer_.reset();
    if (auto refused = client_.begin(request_, 1, limits_,
                                     [this](std::string&& line) { answer_ = std::move(line); })) {
      return fail(*refused);
    }
    timer_.expires_after(limits_.timeout);
    timer_.async_wait([self = shared_from_this(), serial](const error_code& ec) {
      if (ec || !self->current(serial)) return;
      self->fail(self->client_.timedOut());
    });
    // What was read after the last answer comes first.
    if (auto failure = client_.read({})) return fail(*failure);
    asio::async_write(input_, asio::buffer(request_),
                      [self = shared_from_this(), serial](const error_code& ec, std::size_t n) {
                        if (!self->current(serial)) return;
                        if (ec) {
                          self->closeInput();
                          self->client_.inputGone();
                        } else {
                          self->client_.sent(n);
                        }
                        self->completeIfDone();
                      });
    if (!client_.answeredAll()) readMore(serial);
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
      if (auto failure = self->client_.read(std::string_view(self->buffer_.data(), n))) {
        return self->fail(*failure);
      }
      if (self->client_.answeredAll()) return self->completeIfDone();
      self->readMore(serial);
    });
  }

  // The child exited while answering: what it wrote before is read first, as it may have
  // answered and then exited, or left something it started holding its output open.
  void onExit() {
    std::array<char, 65536> bytes;
    for (;;) {
      const ssize_t n = ::read(output_.native_handle(), bytes.data(), bytes.size());
      if (n > 0) {
        auto failure = client_.read(std::string_view(bytes.data(), static_cast<std::size_t>(n)));
        if (failure) return fail(*failure);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    if (client_.answeredAll()) {
      closeInput();  // a write still under way can only fail now
      client_.inputGone();
      return completeIfDone();
    }
    failOnExit();
  }

  // The extension closed its output or exited before answering: say how it ended.
  void failOnExit() {
    client_.outputEnded();
    closeInput();
    if (!child_.exited()) {
      // The exit watch (or, without one, the poll below) finishes this; the timer bounds it.
      if (exit_.is_open()) return;
      if (!child_.waitUntil(ChildGroup::Clock::now() + limits_.timeout)) {
        return fail(client_.timedOut());
      }
    }
    fail(client_.exited(child_.end()));
  }

  // Ends the group after a failure, which the client has remembered, and answers with it.
  void fail(ExtensionFailure failure) {
    end();
    finish(Failure{std::move(failure)});
  }

  void completeIfDone() {
    if (client_.done() && answer_) finish(std::move(*answer_));
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
  ExtensionClient client_;
  std::uint64_t serial_ = 0;
  Answered answered_;  // empty while no question is open
  std::string request_;
  std::optional<std::string> answer_;
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
