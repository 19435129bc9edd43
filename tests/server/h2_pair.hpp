// An nghttp2 client joined in memory to an H2Session, for the session's tests: each test plays
// the server's part, taking requests and answering them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "h2_test_support.hpp"
#include "host/server/h2_session.hpp"

namespace corvlin::test {

using host::server::H2Limits;
using host::server::H2Request;
using host::server::H2Session;
using host::server::Response;

inline H2Limits smallLimits() {
  H2Limits limits;
  limits.maxConcurrentStreams = 8;
  limits.maxHeaderBytes = 512;
  limits.maxBodyBytes = 1024;
  limits.maxResetsWithoutAnswer = 4;
  limits.maxQueuedEvents = 4;
  return limits;
}

// A client and a session joined in memory: what the client writes the session receives, and
// what the session has to say the client reads.
struct Pair {
  explicit Pair(const H2Limits& limits = smallLimits(), const H2ClientOptions& options = {})
      : server(limits),
        client(
            [this](std::string_view bytes) {
              alive = server.receive(bytes) && alive;
              return true;
            },
            [this] {
              std::string out;
              server.takeOutput(out, 1 << 20);
              return out;
            },
            options) {
    client.flush();
  }
  // Lets both sides say what they have, until neither has anything more.
  void exchange() { client.untilClosed(); }

  H2Session server;
  H2Client client;
  bool alive = true;
};

inline const std::vector<std::pair<std::string, std::string>> pushFields = {
    {"apns-push-type", "liveactivity"}, {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};

inline Response json(unsigned status, std::string body) {
  Response response;
  response.status = status;
  response.headers = {{"Content-Type", "application/json"}};
  response.body = std::move(body);
  return response;
}

}  // namespace corvlin::test
