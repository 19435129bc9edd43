// The transport: an HTTP/1.1 and HTTP/2 server on Boost.Beast, Asio and nghttp2, one thread,
// plain (HTTP/1.1 and h2c) or over TLS (ALPN: h2, then HTTP/1.1), that reads requests within
// bounds and timeouts, hands them to the handler and the activity board, and streams the
// board's events to the pages that listen.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <functional>
#include <memory>
#include <string>

#include "host/server/activity_board.hpp"
#include "host/server/channel_desk.hpp"
#include "host/server/local_subscribers.hpp"
#include "host/server/push_handler.hpp"
#include "host/server/server_limits.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

struct ServerShared;

class HttpServer {
 public:
  // `now` gives the real current instant in seconds since 1970; `randomId` 16 random bytes.
  HttpServer(boost::asio::io_context& io, ActivityBoard& board, ServerLimits limits,
             std::function<double()> now, std::function<RandomId()> randomId);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Serves TLS with this context on the port `listen` opens (call before it).
  void useTls(std::shared_ptr<boost::asio::ssl::context> context);
  // Checks every push's provider token with `verifier` (by default, one without a key).
  void checkProviderTokens(security::ProviderTokenVerifier verifier);
  // Keeps the broadcast channels with `desk` (by default, in memory only).
  void keepChannels(ChannelDesk desk);
  // Starts the local subscribers of broadcast channels as `subscribers` says (by default,
  // none join a channel as it is made).
  void keepSubscribers(LocalSubscribers subscribers);
  // Binds and listens; the site is the address and the port it got (port 0 picks a free one).
  Result<Site, std::string> listen(const std::string& address, std::uint16_t port);
  // Closes the listening socket and every connection; the io_context's work then runs out.
  void stop();

 private:
  std::shared_ptr<ServerShared> shared_;
};

}  // namespace corvlin::host::server
