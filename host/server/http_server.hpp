// The transport: an HTTP/1.1 server on Boost.Beast and Asio, one thread, that reads requests
// within bounds and timeouts, hands them to the handler and the activity board, and streams the
// board's events to the pages that listen.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "host/server/activity_board.hpp"
#include "host/server/push_handler.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

struct ServerLimits {
  std::size_t maxHeaderBytes = 8 * 1024;  // beyond: 431, and the connection is closed
  // Bodies up to this are read, so that a push body over the service's 4096 bytes gets its 413
  // PayloadTooLarge; a larger one gets the same answer and the connection is closed unread.
  std::size_t maxBodyBytes = 64 * 1024;
  std::size_t maxConnections = 256;  // one more is closed as soon as it is accepted
  // A request must arrive whole, and a written answer be taken, within this; an idle
  // keep-alive connection is closed after it too.
  std::chrono::milliseconds clientTimeout{10000};
  // An event stream whose reader falls this many events behind is closed.
  std::size_t maxQueuedEvents = 1024;
  // An event stream that is quiet this long gets a comment line, to find readers that are gone.
  std::chrono::milliseconds heartbeat{15000};
};

class HttpServer {
 public:
  // `now` gives the real current instant in seconds since 1970; `randomId` 16 random bytes.
  HttpServer(boost::asio::io_context& io, ActivityBoard& board, ServerLimits limits,
             std::function<double()> now, std::function<RandomId()> randomId);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds and listens; the site is the address and the port it got (port 0 picks a free one).
  Result<Site, std::string> listen(const std::string& address, std::uint16_t port);
  // Closes the listening socket and every connection; the io_context's work then runs out.
  void stop();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace corvlin::host::server
