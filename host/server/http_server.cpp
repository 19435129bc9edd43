#include "host/server/http_server.hpp"

#include <fcntl.h>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <deque>
#include <optional>
#include <set>

#include "host/server/descriptors.hpp"
#include "host/server/request_adapter.hpp"
#include "host/server/server_page.hpp"

namespace corvlin::host::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

class Connection;

struct HttpServer::Shared {
  asio::io_context& io;
  ActivityBoard& board;
  ServerLimits limits;
  std::function<double()> now;
  std::function<RandomId()> randomId;
  tcp::acceptor acceptor;
  asio::steady_timer acceptRetry;  // the pause after an accept failed for want of descriptors
  Site site;
  bool stopping = false;
  std::set<Connection*> connections;  // every live connection, to be closed on stop

  Shared(asio::io_context& context, ActivityBoard& b, ServerLimits l, std::function<double()> n,
         std::function<RandomId()> r)
      : io(context),
        board(b),
        limits(l),
        now(std::move(n)),
        randomId(std::move(r)),
        acceptor(context),
        acceptRetry(context) {}
};

namespace {

// Sockets are not to be inherited by the extension processes: a child holding a client's
// socket would keep that connection open after the server closed it.
void closeOnExec(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFD);
  if (flags >= 0) ::fcntl(descriptor, F_SETFD, flags | FD_CLOEXEC);
}

}  // namespace

// One client connection: requests and answers while it keeps alive, or, once it asked for the
// events, the stream of the board's events until either side closes.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, std::shared_ptr<HttpServer::Shared> shared)
      : stream_(std::move(socket)), shared_(std::move(shared)), heartbeat_(shared_->io) {
    shared_->connections.insert(this);
  }
  ~Connection() {
    shared_->connections.erase(this);
    stopListening();
  }

  void start() {
    beast::error_code ignored;
    stream_.socket().set_option(tcp::no_delay(true), ignored);
    readRequest();
  }

  void close() {
    stopListening();
    heartbeat_.cancel();
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
  }

 private:
  const ServerLimits& limits() const { return shared_->limits; }

  void stopListening() {
    if (listener_) shared_->board.stopListening(*listener_);
    listener_.reset();
  }

  void readRequest() {
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits().maxHeaderBytes));
    parser_->body_limit(limits().maxBodyBytes);
    // One deadline for the head and the body: the request must arrive whole within it.
    stream_.expires_after(limits().clientTimeout);
    http::async_read_header(stream_, buffer_, *parser_,
                            beast::bind_front_handler(&Connection::onHead, shared_from_this()));
  }

  // The head decides whether the body is read at all: after a framing or an authority that
  // cannot be trusted, nothing more is read and the connection is closed.
  void onHead(beast::error_code ec, std::size_t) {
    if (ec) return onRead(ec, 0);
    if (const auto refused = refuseHead(parser_->get())) {
      return answer(refusalResponse(*refused), parser_->get().version(), false, false);
    }
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&Connection::onRead, shared_from_this()));
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
    const Request request = fromBeast(message);
    const unsigned version = message.version();
    const bool keepAlive = message.keep_alive();
    // HEAD is answered as GET is, with the same head and no body.
    const bool headOnly = message.method() == http::verb::head;
    const Route routed = route(request, shared_->site, shared_->randomId());
    if (const auto* refused = std::get_if<Refused>(&routed)) {
      if (request.method == "POST" && refused->status != 421 && refused->status != 403) {
        shared_->board.noteRefusal(tokenOfTarget(request.target), refused->reason, shared_->now());
      }
      return answer(refusalResponse(*refused), version, keepAlive, headOnly);
    }
    if (std::holds_alternative<ShowPage>(routed)) {
      auto page = servePage(shared_->board, shared_->now());
      Response response;
      response.headers = {{"Content-Type", "text/html; charset=utf-8"},
                          {"Content-Security-Policy", std::move(page.contentSecurityPolicy)},
                          {"Cache-Control", "no-store"},
                          {"X-Content-Type-Options", "nosniff"},
                          {"Referrer-Policy", "no-referrer"}};
      response.body = std::move(page.html);
      return answer(std::move(response), version, keepAlive, headOnly);
    }
    if (std::holds_alternative<OpenEvents>(routed)) return openStream(version, headOnly);
    const auto& push = std::get<Push>(routed);
    // The answer waits for the push to be drawn and told to the listeners; meanwhile this
    // thread serves the other clients.
    shared_->board.push(
        push.token, push.body, shared_->now(),
        [self = shared_from_this(), apnsId = push.apnsId, version, keepAlive](PushResult result) {
          if (!self->stream_.socket().is_open()) return;
          if (std::holds_alternative<TooManyActivities>(result)) {
            return self->answer(refusalResponse({429, "TooManyRequests", apnsId}), version,
                                keepAlive, false);
          }
          self->answer(accepted(apnsId, verdictJson(std::get<TakenStep>(result))), version,
                       keepAlive, false);
        });
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
    stream_.expires_after(limits().clientTimeout);
    http::async_write(stream_, *message,
                      [self = shared_from_this(), message](beast::error_code ec, std::size_t) {
                        if (ec || message->need_eof()) return self->close();
                        self->readRequest();
                      });
  }

  // The event stream: its head, then one "data:" block per event, until the reader goes. A
  // HEAD gets the head alone, and the connection is closed as the stream's would be.
  void openStream(unsigned version, bool headOnly) {
    auto head = std::make_shared<http::response<http::empty_body>>(http::status::ok, version);
    head->set(http::field::server, "corvlin-host");
    head->set(http::field::content_type, "text/event-stream");
    head->set(http::field::cache_control, "no-store");
    head->keep_alive(false);
    if (headOnly) return write(std::move(head));
    auto serializer = std::make_shared<http::response_serializer<http::empty_body>>(*head);
    std::weak_ptr<Connection> weak = weak_from_this();
    listener_ = shared_->board.listen([weak](const std::shared_ptr<const std::string>& event) {
      if (auto self = weak.lock()) self->enqueue(event);
    });
    queue_.push_back({std::make_shared<const std::string>("retry: 1000\n\n"), false});
    writing_ = true;
    stream_.expires_after(limits().clientTimeout);
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
    if (queue_.size() >= limits().maxQueuedEvents) return close();  // the reader fell behind
    queue_.push_back({event, true});
    if (!writing_) writeEvents();
  }

  // Everything queued goes out in one write, each event framed as a "data:" line without
  // copying it: the board's text is shared by every stream it is sent to.
  void writeEvents() {
    if (writing_ || queue_.empty() || !stream_.socket().is_open()) return;
    static constexpr std::string_view dataPrefix = "data: ";
    static constexpr std::string_view blockEnd = "\n\n";
    sending_.clear();
    std::swap(sending_, queue_);
    buffers_.clear();
    for (const auto& block : sending_) {
      if (block.isEvent) buffers_.emplace_back(dataPrefix.data(), dataPrefix.size());
      buffers_.emplace_back(block.text->data(), block.text->size());
      if (block.isEvent) buffers_.emplace_back(blockEnd.data(), blockEnd.size());
    }
    writing_ = true;
    stream_.expires_after(limits().clientTimeout);
    asio::async_write(stream_, buffers_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                        self->writing_ = false;
                        if (ec) return self->close();
                        self->writeEvents();
                      });
  }

  // The reader sends nothing on an event stream; anything read, or its end, closes it.
  void watchForClose() {
    stream_.socket().async_read_some(
        asio::buffer(probe_),
        [self = shared_from_this()](beast::error_code, std::size_t) { self->close(); });
  }

  void armHeartbeat() {
    heartbeat_.expires_after(limits().heartbeat);
    heartbeat_.async_wait([self = shared_from_this()](beast::error_code ec) {
      if (ec || !self->stream_.socket().is_open()) return;
      if (!self->writing_ && self->queue_.empty()) {
        self->queue_.push_back({std::make_shared<const std::string>(":\n\n"), false});
        self->writeEvents();
      }
      self->armHeartbeat();
    });
  }

  beast::tcp_stream stream_;
  std::shared_ptr<HttpServer::Shared> shared_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<BeastRequest::body_type>> parser_;
  std::optional<std::uint64_t> listener_;
  // A block of the stream: an event's JSON, framed when written, or a line written as it is.
  struct Block {
    std::shared_ptr<const std::string> text;
    bool isEvent = false;
  };
  std::vector<Block> queue_;
  std::vector<Block> sending_;  // held while their write is under way
  std::vector<asio::const_buffer> buffers_;
  bool writing_ = false;
  asio::steady_timer heartbeat_;
  std::array<char, 64> probe_{};
};

namespace {

void acceptNext(const std::shared_ptr<HttpServer::Shared>& shared) {
  shared->acceptor.async_accept([shared](beast::error_code ec, tcp::socket socket) {
    if (shared->stopping) return;
    if (const auto pause = acceptRetryDelay(ec); pause.count() > 0) {
      // Out of descriptors: the open connections are served meanwhile, and closing one of
      // them frees what the next accept needs.
      shared->acceptRetry.expires_after(pause);
      shared->acceptRetry.async_wait([shared](beast::error_code waited) {
        if (!waited && !shared->stopping) acceptNext(shared);
      });
      return;
    }
    if (!ec) {
      closeOnExec(socket.native_handle());
      if (shared->connections.size() >= shared->limits.maxConnections) {
        beast::error_code ignored;
        socket.close(ignored);
      } else {
        std::make_shared<Connection>(std::move(socket), shared)->start();
      }
    }
    acceptNext(shared);
  });
}

}  // namespace

HttpServer::HttpServer(asio::io_context& io, ActivityBoard& board, ServerLimits limits,
                       std::function<double()> now, std::function<RandomId()> randomId)
    : shared_(std::make_shared<Shared>(io, board, limits, std::move(now), std::move(randomId))) {}

HttpServer::~HttpServer() {
  try {
    stop();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing can be reported from a destructor
  }
}

Result<Site, std::string> HttpServer::listen(const std::string& address, std::uint16_t port) {
  beast::error_code ec;
  const auto ip = asio::ip::make_address(address, ec);
  if (ec) return Failure{"'" + address + "' is not an IP address"};
  const tcp::endpoint endpoint{ip, port};
  auto& acceptor = shared_->acceptor;
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) closeOnExec(acceptor.native_handle());
  if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    return Failure{"cannot listen on " + address + " port " + std::to_string(port) + ": " +
                   ec.message()};
  }
  const tcp::endpoint bound = acceptor.local_endpoint();
  const std::string host = bound.address().to_string();
  shared_->site = {bound.address().is_v6() ? "[" + host + "]" : host, bound.port()};
  acceptNext(shared_);
  return shared_->site;
}

void HttpServer::stop() {
  if (shared_->stopping) return;
  shared_->stopping = true;
  beast::error_code ignored;
  shared_->acceptor.close(ignored);
  shared_->acceptRetry.cancel();
  // Closing may end a connection's last operation and destroy it: close copies of the list.
  const std::set<Connection*> open = shared_->connections;
  for (Connection* connection : open) {
    if (shared_->connections.count(connection) != 0) connection->close();
  }
}

}  // namespace corvlin::host::server
