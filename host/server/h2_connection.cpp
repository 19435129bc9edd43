// HTTP/2 over a socket, plain (h2c) or TLS: the bytes of the connection go through an
// H2Session, its requests through the same dispatch as HTTP/1.1's, its answers and event
// streams back out. One read and one write at a time, all on the server's event loop.
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <optional>
#include <unordered_map>

#include "host/server/dispatch.hpp"
#include "host/server/h2_session.hpp"
#include "host/server/transport_streams.hpp"

namespace corvlin::host::server {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// What one write takes from the session at most; the rest waits for it to be taken.
constexpr std::size_t writeChunk = std::size_t{64} * 1024;
// How long a connection that said its last waits at most for the client to close.
constexpr std::chrono::milliseconds maxLinger{1000};

H2Limits sessionLimits(const ServerLimits& limits) {
  H2Limits h2;
  h2.maxConcurrentStreams = limits.maxConcurrentStreams;
  h2.maxHeaderBytes = limits.maxHeaderBytes;
  h2.maxBodyBytes = limits.maxBodyBytes;
  h2.maxResetsWithoutAnswer = limits.maxResetsWithoutAnswer;
  h2.maxQueuedEvents = limits.maxQueuedEvents;
  h2.maxQueuedBytes = limits.maxQueuedBytes;
  h2.maxHeaderBytesWithoutAnswer = limits.maxHeaderBytesWithoutAnswer;
  return h2;
}

template <class Stream>
class H2Connection : public Registered, public std::enable_shared_from_this<H2Connection<Stream>> {
 public:
  H2Connection(Stream stream, std::shared_ptr<ServerShared> s)
      : Registered(std::move(s)),
        stream_(std::move(stream)),
        session_(sessionLimits(shared().limits)),
        tick_(shared().io) {}
  ~H2Connection() override { stopListeners(); }
  H2Connection(const H2Connection&) = delete;
  H2Connection& operator=(const H2Connection&) = delete;

  void start(std::string_view received) {
    const auto now = Clock::now();
    idleSince_ = now;
    lastHeartbeat_ = now;
    // The HTTP/2 connection is timed by this connection's own clock, not the stream's.
    beast::get_lowest_layer(stream_).expires_never();
    guarded([&] {
      if (!session_.receive(received)) closing_ = true;
      afterReceive();
      if (!closed_) read();
      if (!closed_) armTick();
    });
  }

  // On shutdown: GOAWAY, then the connection closes once it is written, or after a moment
  // when the client does not take it.
  void close() override {
    guarded([&] {
      goAwayAndClose();
      if (closed_) return;
      tick_.expires_after(maxLinger);  // ends the connection's own clock
      tick_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (!ec) self->shutdownNow();
      });
    });
  }

 private:
  using std::enable_shared_from_this<H2Connection<Stream>>::shared_from_this;
  using std::enable_shared_from_this<H2Connection<Stream>>::weak_from_this;

  const ServerLimits& limits() const { return shared().limits; }
  tcp::socket& socket() { return beast::get_lowest_layer(stream_).socket(); }

  // Runs a piece of the connection's work: running out of memory in it ends this connection,
  // and the server goes on.
  template <class Body>
  void guarded(Body body) {
    try {
      body();
    } catch (const std::bad_alloc&) {
      shutdownNow();
    }
  }

  void read() {
    stream_.async_read_some(asio::buffer(input_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                              if (ec || self->closed_) return self->shutdownNow();
                              self->guarded([&] {
                                // Once closing, what the client still sends is read and dropped, so
                                // that the kernel does not answer it with a reset that could
                                // discard the GOAWAY on its way.
                                if (!self->closing_) {
                                  if (!self->session_.receive({self->input_.data(), n}))
                                    self->closing_ = true;
                                  self->afterReceive();
                                }
                                if (!self->closed_) self->read();
                              });
                            });
  }

  void afterReceive() {
    for (const std::int32_t id : session_.takeClosedStreams()) stopListener(id);
    auto requests = session_.takeRequests();
    // A request is no idleness, however quickly it is answered between two looks of the clock.
    if (!requests.empty()) idleSince_ = Clock::now();
    for (auto& [id, request] : requests) handle(id, request);
    flush();
  }

  void handle(std::int32_t id, const Request& request) {
    std::weak_ptr<H2Connection> weak = weak_from_this();
    ++pendingAnswers_;  // before the board may answer, within the call or later
    Dispatched dispatched = dispatch(request, shared(), [weak, id](Response response) {
      auto self = weak.lock();
      if (!self || self->closed_) return;
      --self->pendingAnswers_;
      self->guarded([&] {
        self->session_.respond(id, std::move(response), false);
        self->flushSoon();
      });
    });
    if (std::holds_alternative<AnswerLater>(dispatched)) return;
    --pendingAnswers_;
    if (auto* now = std::get_if<AnswerNow>(&dispatched)) {
      session_.respond(id, std::move(now->response), now->headOnly);
    } else if (const auto* events = std::get_if<StartEvents>(&dispatched)) {
      openEvents(id, events->headOnly, events->catchUp);
    }
  }

  void openEvents(std::int32_t id, bool headOnly, bool catchUp) {
    if (!session_.openEvents(id, headOnly) || headOnly) return;
    static const auto opening = std::make_shared<const std::string>(streamOpening);
    session_.sendOnEvents(id, opening, false);
    std::weak_ptr<H2Connection> weak = weak_from_this();
    listeners_[id] = shared().board.listen(
        [weak, id](const std::shared_ptr<const std::string>& e) {
          auto self = weak.lock();
          if (!self || self->closed_) return;
          self->guarded([&] {
            self->session_.sendOnEvents(id, e, true);
            self->flushSoon();
          });
        },
        catchUp ? std::optional<double>(shared().now()) : std::nullopt);
  }

  void stopListener(std::int32_t id) {
    const auto found = listeners_.find(id);
    if (found == listeners_.end()) return;
    shared().board.stopListening(found->second);
    listeners_.erase(found);
  }

  void stopListeners() {
    for (const auto& [id, listener] : listeners_) shared().board.stopListening(listener);
    listeners_.clear();
  }

  // A flush after whatever else the event loop has ready: answers and events that come in the
  // same turn go out in one write.
  void flushSoon() {
    if (flushPosted_) return;
    flushPosted_ = true;
    asio::post(shared().io, [self = shared_from_this()] {
      self->flushPosted_ = false;
      self->guarded([&] { self->flush(); });
    });
  }

  // Writes what the session has to say; closes once it has said its last.
  void flush() {
    if (writing_ || closed_) return;
    for (const std::int32_t id : session_.takeClosedStreams()) stopListener(id);
    output_.clear();
    if (!session_.takeOutput(output_, writeChunk)) {
      if (closing_ || session_.finished()) linger();
      return;
    }
    writing_ = true;
    writeStarted_ = Clock::now();
    asio::async_write(stream_, asio::buffer(output_),
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                        self->writing_ = false;
                        if (ec) return self->shutdownNow();
                        self->guarded([&] { self->flush(); });
                      });
  }

  void goAwayAndClose() {
    if (closed_ || closing_) return;
    closing_ = true;
    session_.goAway();
    flush();
  }

  // All is said: the sending side is shut, and the connection closes when the client closes
  // its side, or after a moment; at once when the server is stopping.
  void linger() {
    if (closed_ || lingerUntil_) return;
    if (shared().stopping) return shutdownNow();
    beast::error_code ignored;
    socket().shutdown(tcp::socket::shutdown_send, ignored);
    lingerUntil_ = Clock::now() + std::min<Clock::duration>(limits().clientTimeout, maxLinger);
  }

  void shutdownNow() {
    if (closed_) return;
    closed_ = true;
    stopListeners();
    tick_.cancel();
    beast::error_code ignored;
    socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(stream_).close();
  }

  // The connection's clock: a write not taken, or a connection with nothing open, each for the
  // client timeout, ends it; the session times its streams (a request not arriving whole, bytes
  // that flow control keeps from being sent); quiet event streams get their comment line.
  void armTick() {
    const auto period = std::max(limits().clientTimeout / 4, std::chrono::milliseconds(5));
    tick_.expires_after(period);
    tick_.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec || self->closed_) return;
      self->guarded([&] { self->onTick(); });
      if (!self->closed_) self->armTick();
    });
  }

  void onTick() {
    const auto now = Clock::now();
    const auto timeout = limits().clientTimeout;
    if (writing_ && now - writeStarted_ > timeout) return shutdownNow();
    if (lingerUntil_ && now >= *lingerUntil_) return shutdownNow();
    if (closing_) return;
    session_.checkDeadlines(now, timeout);
    flush();
    if (session_.openStreams() != 0 || pendingAnswers_ != 0) {
      idleSince_ = now;
    } else if (now - idleSince_ >= timeout) {
      return goAwayAndClose();
    }
    if (now - lastHeartbeat_ >= limits().heartbeat) {
      lastHeartbeat_ = now;
      session_.heartbeat();
      flush();
    }
  }

  Stream stream_;
  H2Session session_;
  asio::steady_timer tick_;
  std::array<char, 16 * 1024> input_{};
  std::string output_;  // held while its write is under way
  bool writing_ = false;
  bool flushPosted_ = false;
  bool closing_ = false;  // GOAWAY said or the session failed: close once written
  bool closed_ = false;
  std::size_t pendingAnswers_ = 0;                             // pushes the board has yet to answer
  std::unordered_map<std::int32_t, std::uint64_t> listeners_;  // event streams' listeners
  Clock::time_point writeStarted_;
  Clock::time_point idleSince_;
  Clock::time_point lastHeartbeat_;
  std::optional<Clock::time_point> lingerUntil_;
};

template <class Stream>
void startOn(Stream stream, std::string_view received, std::shared_ptr<ServerShared> shared) {
  std::make_shared<H2Connection<Stream>>(std::move(stream), std::move(shared))->start(received);
}

}  // namespace

void startH2(PlainStream stream, std::string_view received, std::shared_ptr<ServerShared> shared) {
  startOn(std::move(stream), received, std::move(shared));
}

void startH2(TlsStream stream, std::string_view received, std::shared_ptr<ServerShared> shared) {
  startOn(std::move(stream), received, std::move(shared));
}

}  // namespace corvlin::host::server
