#include "host/server/http_server.hpp"

#include <fcntl.h>

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <chrono>
#include <string_view>

#include "host/server/descriptors.hpp"
#include "host/server/server_shared.hpp"
#include "host/server/tls_context.hpp"
#include "host/server/transport_streams.hpp"

namespace corvlin::host::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// Sockets are not to be inherited by the extension processes: a child holding a client's
// socket would keep that connection open after the server closed it.
void closeOnExec(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFD);
  if (flags >= 0) ::fcntl(descriptor, F_SETFD, flags | FD_CLOEXEC);
}

constexpr std::string_view h2Preface = "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n";

// A new connection on the plain port, until its first bytes tell which protocol it speaks:
// the HTTP/2 preface goes to HTTP/2 (h2c with prior knowledge), anything else to HTTP/1.1,
// with every byte read so far.
class PlainOpening : public Registered, public std::enable_shared_from_this<PlainOpening> {
 public:
  PlainOpening(tcp::socket socket, std::shared_ptr<ServerShared> s)
      : Registered(std::move(s)), stream_(std::move(socket)) {}

  void start() {
    stream_.expires_after(shared().limits.clientTimeout);
    readMore();
  }

  void close() override { stream_.close(); }

 private:
  void readMore() {
    stream_.async_read_some(buffer_.prepare(h2Preface.size() - buffer_.size()),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                              self->buffer_.commit(n);
                              if (ec) return self->close();
                              self->decide();
                            });
  }

  void decide() {
    const std::string_view got(static_cast<const char*>(buffer_.data().data()), buffer_.size());
    if (got.size() < h2Preface.size() && h2Preface.starts_with(got)) return readMore();
    if (got == h2Preface) return startH2(std::move(stream_), got, sharedPointer());
    startHttp1(std::move(stream_), std::move(buffer_), sharedPointer());
  }

  PlainStream stream_;
  beast::flat_buffer buffer_;
};

// A new connection on the TLS port. Its first bytes, read before the handshake, tell TLS from
// plain text: a TLS client goes through the handshake (which takes those bytes as the start of
// its input), after which ALPN's choice says which protocol it speaks: h2, or HTTP/1.1 (also
// when the client offered neither). A client that sent plain text, such as HTTP without TLS, is
// answered in plain HTTP/1.1 with the port's https:// address, then closed.
class TlsOpening : public Registered, public std::enable_shared_from_this<TlsOpening> {
 public:
  TlsOpening(tcp::socket socket, std::shared_ptr<ServerShared> s)
      : Registered(std::move(s)), stream_(std::move(socket), *shared().tls) {}

  void start() {
    lowest().expires_after(shared().limits.clientTimeout);
    lowest().async_read_some(received_.prepare(firstReadBytes),
                             [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                               self->received_.commit(n);
                               if (ec || n == 0) return self->close();
                               self->decide();
                             });
  }

  void close() override { lowest().close(); }

 private:
  // A ClientHello, or the start of one; a longer one is read on by the handshake.
  static constexpr std::size_t firstReadBytes = 4096;
  // After the plain answer, what the client still sends is read and dropped, up to this many
  // bytes and for at most a second, so that the kernel does not answer it with a reset that
  // could discard the answer on its way.
  static constexpr std::size_t maxDrainedBytes = std::size_t{64} * 1024;

  beast::tcp_stream& lowest() { return beast::get_lowest_layer(stream_); }

  void decide() {
    const auto first = static_cast<const unsigned char*>(received_.data().data())[0];
    if (!mayStartTlsRecord(first)) return answerPlainText();
    stream_.async_handshake(asio::ssl::stream_base::server, received_.data(),
                            [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec) return self->close();
                              self->handOver();
                            });
  }

  void handOver() {
    if (negotiatedProtocol(stream_.native_handle()) == "h2") {
      return startH2(std::move(stream_), {}, sharedPointer());
    }
    startHttp1(std::move(stream_), beast::flat_buffer(), sharedPointer());
  }

  void answerPlainText() {
    const Site& site = shared().site;
    Response answer =
        plainTextOnTlsPort("https://" + site.host + ":" + std::to_string(site.port) + "/");
    auto message = std::make_shared<http::response<http::string_body>>();
    message->version(11);
    message->result(answer.status);
    message->set(http::field::server, "corvlin-host");
    for (auto& [name, value] : answer.headers) message->insert(name, value);
    message->body() = std::move(answer.body);
    message->prepare_payload();
    lowest().expires_after(shared().limits.clientTimeout);
    http::async_write(lowest(), *message,
                      [self = shared_from_this(), message](beast::error_code ec, std::size_t) {
                        if (ec) return self->close();
                        beast::error_code ignored;
                        self->lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
                        self->lowest().expires_after(std::min<std::chrono::milliseconds>(
                            std::chrono::seconds(1), self->shared().limits.clientTimeout));
                        self->drain(0);
                      });
  }

  void drain(std::size_t drained) {
    received_.clear();
    lowest().async_read_some(
        received_.prepare(firstReadBytes),
        [self = shared_from_this(), drained](beast::error_code ec, std::size_t n) {
          if (ec || drained + n > maxDrainedBytes) return self->close();
          self->drain(drained + n);
        });
  }

  TlsStream stream_;
  beast::flat_buffer received_;
};

void acceptNext(const std::shared_ptr<ServerShared>& shared) {
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
        socket.set_option(tcp::no_delay(true), ec);
        if (shared->tls) {
          std::make_shared<TlsOpening>(std::move(socket), shared)->start();
        } else {
          std::make_shared<PlainOpening>(std::move(socket), shared)->start();
        }
      }
    }
    acceptNext(shared);
  });
}

}  // namespace

HttpServer::HttpServer(asio::io_context& io, ActivityBoard& board, ServerLimits limits,
                       std::function<double()> now, std::function<RandomId()> randomId)
    : shared_(
          std::make_shared<ServerShared>(io, board, limits, std::move(now), std::move(randomId))) {}

void HttpServer::checkProviderTokens(security::ProviderTokenVerifier verifier) {
  shared_->providerTokens = std::move(verifier);
}

void HttpServer::keepChannels(ChannelDesk desk) { shared_->channels = std::move(desk); }

void HttpServer::keepSubscribers(LocalSubscribers subscribers) {
  shared_->subscribers = std::move(subscribers);
}

void HttpServer::useTls(std::shared_ptr<asio::ssl::context> context) {
  shared_->tls = std::move(context);
}

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
  shared_->site = {bound.address().is_v6() ? "[" + host + "]" : host, bound.port(),
                   shared_->tls ? "https" : "http"};
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
  const std::set<OpenConnection*> open = shared_->connections;
  for (OpenConnection* connection : open) {
    if (shared_->connections.count(connection) != 0) connection->close();
  }
}

}  // namespace corvlin::host::server
