// What every connection of the server shares: the board, the bounds, the clocks, the site it
// serves and the set of open connections, whichever protocol each speaks.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <set>

#include "host/security/provider_token_check.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/channel_desk.hpp"
#include "host/server/local_subscribers.hpp"
#include "host/server/push_handler.hpp"
#include "host/server/server_limits.hpp"

namespace corvlin::host::server {

// An open connection, as the server closes it on shutdown.
class OpenConnection {
 public:
  OpenConnection() = default;
  OpenConnection(const OpenConnection&) = delete;
  OpenConnection& operator=(const OpenConnection&) = delete;
  virtual ~OpenConnection() = default;
  // Ends the connection: an HTTP/2 one says GOAWAY first.
  virtual void close() = 0;
};

struct ServerShared {
  boost::asio::io_context& io;
  ActivityBoard& board;
  ServerLimits limits;
  std::function<double()> now;
  std::function<RandomId()> randomId;
  boost::asio::ip::tcp::acceptor acceptor;
  boost::asio::steady_timer acceptRetry;  // the pause after an accept failed for descriptors
  Site site;
  std::shared_ptr<boost::asio::ssl::context> tls;  // null: plain HTTP and h2c
  // Checks each push's provider token; without a key, only the form of a token that is sent.
  security::ProviderTokenVerifier providerTokens;
  ChannelDesk channels;          // the app's broadcast channels
  LocalSubscribers subscribers;  // what local subscribers start as, and how many a channel gets
  bool stopping = false;
  std::set<OpenConnection*> connections;  // every live connection, to be closed on stop

  ServerShared(boost::asio::io_context& context, ActivityBoard& b, ServerLimits l,
               std::function<double()> n, std::function<RandomId()> r)
      : io(context),
        board(b),
        limits(l),
        now(std::move(n)),
        randomId(std::move(r)),
        acceptor(context),
        acceptRetry(context) {}
};

// Registers a connection with the server for as long as it lives.
class Registered : public OpenConnection {
 public:
  explicit Registered(std::shared_ptr<ServerShared> shared) : shared_(std::move(shared)) {
    shared_->connections.insert(this);
  }
  ~Registered() override { shared_->connections.erase(this); }
  Registered(const Registered&) = delete;
  Registered& operator=(const Registered&) = delete;

 protected:
  ServerShared& shared() const { return *shared_; }
  const std::shared_ptr<ServerShared>& sharedPointer() const { return shared_; }

 private:
  std::shared_ptr<ServerShared> shared_;
};

}  // namespace corvlin::host::server
