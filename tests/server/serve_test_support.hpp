// Running `corvlin-host serve` from tests: the process on a free port, a plain HTTP client,
// and a reader of its event stream, all with bounded waits.
#pragma once

#include <sys/types.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/streambuf.hpp>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/process/child_process.hpp"

namespace corvlin::test {

std::string binPath(const std::string& name);

// The warnings a serve that checks no provider tokens gives first, as answers write them: of a
// push over HTTP/1.1, and of one without a provider token.
inline const std::string http1PushWarning =
    R"({"warning":{"kind":"http1Push","codingPath":[],"description":"The push came over HTTP/1.1; )"
    R"(the push service accepts only HTTP/2, so this client cannot connect to it.","hint":"send )"
    R"(it with an HTTP/2 client against serve --tls: curl --http2, @parse/node-apn or apns2 )"
    R"x((curl --http2-prior-knowledge without --tls)"}})x";
inline const std::string noProviderTokenWarning =
    R"({"warning":{"kind":"missingProviderToken","codingPath":[],"description":"The push has no )"
    R"(authorization header; the push service refuses it with 403 MissingProviderToken.","hint":)"
    R"("send \"authorization: bearer JWT\"; serve checks the token with --auth-key"}})";

// corvlin-host serve, started in a process group of its own (a host::ChildGroup): the group is
// killed when this is destroyed, when this process ends on a signal or by exit(), and the
// server is killed by the kernel should this process be killed.
class ServeProcess {
 public:
  // Standard error goes to `errorFile` when one is named, else where the test's goes.
  explicit ServeProcess(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& env = {},
                        const std::string& errorFile = "");
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  const std::string& firstLine() const { return firstLine_; }
  std::uint16_t port() const { return port_; }
  // -1 once it has stopped.
  pid_t pid() const;
  // The server's children now, from /proc.
  std::vector<pid_t> children() const;
  // Sends `signal` to the server alone and waits for the exit; the wait status.
  int stop(int signal);

 private:
  std::optional<host::ChildGroup> child_;
  std::string firstLine_;
  std::uint16_t port_ = 0;
};

// Waits up to `limit` for process `pid` to be gone or a zombie; false if it still runs then.
bool endsWithin(pid_t pid, std::chrono::milliseconds limit);

struct Answer {
  unsigned status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request on a connection of its own; Host is 127.0.0.1:PORT unless `headers` gives one.
Answer send(std::uint16_t port, const std::string& method, const std::string& target,
            const HeaderList& headers = {}, const std::string& body = "");

// A push with the headers the push service wants.
Answer push(std::uint16_t port, const std::string& token, const std::string& body,
            const HeaderList& extra = {});

// A member of a JSON document, by path of member names: a string's text, any other value as
// compact JSON, "" when absent, "<not JSON>" when the document is not JSON.
std::string member(const std::string& json, std::initializer_list<const char*> path);

// A connection to GET /events, reading one event at a time; `lastEventId`, when not empty, is
// sent as a reconnecting browser sends the id it was given.
class EventReader {
 public:
  explicit EventReader(std::uint16_t port, const std::string& lastEventId = {});
  // The next event's data, skipping comments and the retry field; empty after 10 s or the end.
  std::string next();
  // The next drawing event (one with "drawn"), skipping the step events before it.
  std::string nextDrawing();

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::socket socket_;
  boost::asio::streambuf buffer_;
};

// A folder of the test's own under the system's temporary folder ("corvlin-NAME-PID"),
// removed at the end.
struct Scratch {
  std::filesystem::path root;
  explicit Scratch(const std::string& name);
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
};

// Sets a receive and send timeout on a socket, so that a test never waits for ever.
void boundWaits(boost::asio::ip::tcp::socket& socket, int seconds);

}  // namespace corvlin::test
