// HTTP/1.1 on Boost.Beast, over plain TCP or TLS: requests and answers while the connection
// keeps alive, or, once it asked for the events, the stream of the board's events until either
// side closes.
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <optional>

#include "host/server/dispatch.hpp"
#include "host/server/event_block.hpp"
#include "host/server/request_adapter.hpp"
#include "host/server/transport_streams.hpp"

namespace corvlin::host::server {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

template <class Stream>
class Http1Connection : public Registered,
                        public std::enable_shared_from_this<Http1Connection<Stream>> {
 public:
  Http1Connection(Stream stream, beast::flat_buffer received, std::shared_ptr<ServerShared> s)
      : Registered(std::move(s)),
        stream_(std::move(stream)),
        buffer_(std::move(received)),
        heartbeat_(shared().io),
        queue_(limits().maxQueuedEvents, limits().maxQueuedBytes) {}
  ~Http1Connection() override { stopListening(); }
  Http1Connection(const Http1Connection&) = delete;
  Http1Connection& operator=(const Http1Connection&) = delete;

  void start() { readRequest(); }

  void close() override {
    stopListening();
    heartbeat_.cancel();
    beast::error_code ignored;
    socket().shutdown(tcp::socket::shutdown_both, ignored);
    lowest().close();
  }

 private:
  using std::enable_shared_from_this<Http1Connection<Stream>>::shared_from_this;
  using std::enable_shared_from_this<Http1Connection<Stream>>::weak_from_this;

  const ServerLimits& limits() const { return shared().limits; }
  beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }
  tcp::socket& socket() { return lowest().socket(); }

  void stopListening() {
    if (listener_) shared().board.stopListening(*listener_);
    listener_.reset();
  }

  void readRequest() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits().maxHeaderBytes));
    parser_->body_limit(limits().maxBodyBytes);
    // One deadline for the head and the body: the request must arrive whole within it.
    lowest().expires_after(limits().clientTimeout);
    http::async_read_header(
        stream_, buffer_, *parser_,
        beast::bind_front_handler(&Http1Connection::onHead, shared_from_this()));
  }

  // The head decides whether the body is read at all: after a framing or an authority that
  // cannot be trusted, nothing more is read and the connection is closed.
  void onHead(beast::error_code ec, std::size_t) {
    if (ec) return onRead(ec, 0);
    if (const auto refused = refuseHead(parser_->get())) {
      return answer(refusalResponse(*refused), parser_->get().version(), false, false);
    }
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Http1Connection::onRead, shared_from_this()));
  }

  void onRead(beast::error_code ec, std::size_t) {
    if (ec == http::error::body_limit) {
      return answer(refusalResponse({413, "PayloadTooLarge", ""}), 11, false, false);
    }
    if (ec == http::error::header_limit) {
      return answer(refusalResponse({431, "HeaderTooLarge", ""}), 11, false, false);
    }
    if (ec && ec.category() == http::make_error_code(http::error::bad_target).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message) {
      return answer(refusalResponse({400, "BadRequest", ""}), 11, false, false);
    }
    if (ec) return close();  // end of stream, timeout, reset: nothing more to say
    handle(parser_->release());
  }

  void handle(const BeastRequest& message) {
    const unsigned version = message.version();
    const bool keepAlive = message.keep_alive();
    // The board's callback holds the connection: nothing else does while the push is drawn.
    const Dispatched dispatched =
        dispatch(fromBeast(message), shared(),
                 [self = shared_from_this(), version, keepAlive](Response response) {
                   if (!self->socket().is_open()) return;
                   self->answer(std::move(response), version, keepAlive, false);
                 });
    if (const auto* now = std::get_if<AnswerNow>(&dispatched)) {
      return answer(now->response, version, keepAlive, now->headOnly);
    }
    if (const auto* events = std::get_if<StartEvents>(&dispatched)) {
      return openStream(version, events->headOnly, events->catchUp);
    }
    // AnswerLater: the board holds the callback; this connection waits for it.
  }

  // Writes the answer, and then reads the next request unless the connection is to close. The
  // answer to a HEAD keeps its Content-Length and leaves out the body it counts.
  void answer(Response response, unsigned version, bool keepAlive, bool headOnly) {
    auto message = std::make_shared<http::response<http::string_body>>();
    message->version(version);
    message->result(response.status);
    message->set(http::field::server, "corvlin-host");
    for (auto& [name, value] : response.headers) message->insert(name, value);
    message->body() = std::move(response.body);
    message->keep_alive(keepAlive);
    message->prepare_payload();
    if (headOnly) {
      return write(std::make_shared<http::response<http::empty_body>>(std::move(message->base())));
    }
    write(std::move(message));
  }

  template <class Message>
  void write(std::shared_ptr<Message> message) {
    lowest().expires_after(limits().clientTimeout);
    http::async_write(stream_, *message,
                      [self = shared_from_this(), message](beast::error_code ec, std::size_t) {
                        if (ec || message->need_eof()) return self->close();
                        self->readRequest();
                      });
  }

  // The event stream: its head, then one "data:" block per event, until the reader goes. A
  // HEAD gets the head alone, and the connection is closed as the stream's would be.
  void openStream(unsigned version, bool headOnly, bool catchUp) {
    auto head = std::make_shared<http::response<http::empty_body>>(http::status::ok, version);
    head->set(http::field::server, "corvlin-host");
    head->set(http::field::content_type, "text/event-stream");
    head->set(http::field::cache_control, "no-store");
    head->keep_alive(false);
    if (headOnly) return write(std::move(head));
    auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*head);
    // The opening goes first, then the catch-up the board tells within `listen`; the head is
    // being written meanwhile, so they wait in the queue.
    static const auto opening = std::make_shared<const std::string>(streamOpening);
    queue_.add({opening, false});
    writing_ = true;
    std::weak_ptr<Http1Connection> weak = weak_from_this();
    listener_ = shared().board.listen(
        [weak](const std::shared_ptr<const std::string>& event) {
          auto self = weak.lock();
          if (!self) return;
          try {
            self->enqueue(event);
          } catch (const std::bad_alloc&) {
            self->close();  // this reader goes; the server and its other readers go on
          }
        },
        catchUp ? std::optional<double>(shared().now()) : std::nullopt);
    lowest().expires_after(limits().clientTimeout);
    http::async_write_header(
        stream_, *serializer,
        [self = shared_from_this(), head, serializer](beast::error_code ec, std::size_t) {
          self->writing_ = false;
          if (ec) return self->close();
          self->watchForClose();
          self->armHeartbeat();
          self->writeEvents();
        });
  }

  void enqueue(const std::shared_ptr<const std::string>& event) {
    if (!socket().is_open()) return;
    // The reader fell behind: too many events, or too many bytes, wait for it.
    if (!queue_.add({event, true})) return close();
    if (!writing_) writeEvents();
  }

  // Everything queued goes out in one write, each event framed as a "data:" line without
  // copying it: the board's text is shared by every stream it is sent to.
  void writeEvents() {
    if (writing_ || queue_.empty() || !socket().is_open()) return;
    sending_ = queue_.take();
    buffers_.clear();
    for (const std::string_view piece : gatherFramed(sending_, scratch_)) {
      buffers_.emplace_back(piece.data(), piece.size());
    }
    writing_ = true;
    lowest().expires_after(limits().clientTimeout);
    asio::async_write(stream_, buffers_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                        self->writing_ = false;
                        self->queue_.written(n);
                        if (ec) return self->close();
                        self->writeEvents();
                      });
  }

  // The reader sends nothing on an event stream; anything read, or its end, closes it. Over
  // TLS the read goes through the TLS layer, beside its writes. The read has no deadline (set
  // while no write is under way: the writes' own deadlines then leave it alone).
  void watchForClose() {
    lowest().expires_never();
    stream_.async_read_some(
        asio::buffer(probe_),
        [self = shared_from_this()](beast::error_code, std::size_t) { self->close(); });
  }

  void armHeartbeat() {
    heartbeat_.expires_after(limits().heartbeat);
    heartbeat_.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec || !self->socket().is_open()) return;
      if (!self->writing_ && self->queue_.empty()) {
        self->queue_.add({std::make_shared<const std::string>(":\n\n"), false});
        self->writeEvents();
      }
      self->armHeartbeat();
    });
  }

  Stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<BeastRequest::body_type>> parser_;
  std::optional<std::uint64_t> listener_;
  std::vector<EventBlock> sending_;  // held while their write is under way
  std::string scratch_;              // the short ones among them, framed
  std::vector<asio::const_buffer> buffers_;
  bool writing_ = false;
  asio::steady_timer heartbeat_;
  EventQueue queue_;  // the events waiting for the reader, and those being written
  std::array<char, 64> probe_{};
};

}  // namespace

void startHttp1(PlainStream stream, beast::flat_buffer received,
                std::shared_ptr<ServerShared> shared) {
  std::make_shared<Http1Connection<PlainStream>>(std::move(stream), std::move(received),
                                                 std::move(shared))
      ->start();
}

void startHttp1(TlsStream stream, beast::flat_buffer received,
                std::shared_ptr<ServerShared> shared) {
  std::make_shared<Http1Connection<TlsStream>>(std::move(stream), std::move(received),
                                               std::move(shared))
      ->start();
}

}  // namespace corvlin::host::server
