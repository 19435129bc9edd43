// corvlin-host serve --tls: what the handshake agrees to (versions, ALPN, the certificate's
// names), HTTP/1.1 and its event stream over TLS, the options that start it, and a signal that
// comes while it is starting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "h2_test_support.hpp"
#include "serve_test_support.hpp"
#include "tls_test_support.hpp"

namespace corvlin::test {
namespace {

std::string scratch() {
  const auto folder =
      std::filesystem::temp_directory_path() / ("corvlin-tls-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder.string();
}

std::vector<std::string> tlsArguments() {
  const CertificateFiles files = writeCertificateFiles(scratch());
  return {"--tls", "--cert", files.chain, "--key", files.key};
}

std::string update(const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":")" + title +
         R"("}}})";
}

// Reads from `channel` until `until` is among what was read, or it ends.
std::string readUntil(Channel& channel, const std::string& until) {
  std::string got;
  while (got.find(until) == std::string::npos) {
    const std::string more = channel.read();
    if (more.empty()) break;
    got += more;
  }
  return got;
}

TEST(ServeTls, SaysWhereItServesOverHttps) {
  ServeProcess serve(tlsArguments());
  EXPECT_TRUE(
      std::regex_match(serve.firstLine(), std::regex(R"(serving https://127\.0\.0\.1:\d+/)")))
      << serve.firstLine();
}

TEST(ServeTls, HandshakesOnlyAsAgreed) {
  ServeProcess serve(tlsArguments());
  const std::string otherAuthority = makeTestCertificates().authorityPem;
  struct Case {
    const char* name;
    TlsOptions options;
    std::optional<std::string> protocol;  // absent: the handshake fails
  };
  auto with = [](auto change) {
    TlsOptions options;
    change(options);
    return options;
  };
  const std::vector<Case> cases = {
      {"h2 offered", {}, "h2"},
      {"h2 before HTTP/1.1", with([](TlsOptions& o) {
         o.alpn = {"h2", "http/1.1"};
       }),
       "h2"},
      {"the server's order wins", with([](TlsOptions& o) {
         o.alpn = {"http/1.1", "h2"};
       }),
       "h2"},
      {"HTTP/1.1 alone", with([](TlsOptions& o) { o.alpn = {"http/1.1"}; }), "http/1.1"},
      {"no ALPN", with([](TlsOptions& o) { o.alpn = {}; }), ""},
      {"nothing in common", with([](TlsOptions& o) { o.alpn = {"spdy/3"}; }), ""},
      {"the IP address", with([](TlsOptions& o) { o.verifyName = "127.0.0.1"; }), "h2"},
      {"TLS 1.2", with([](TlsOptions& o) { o.maxVersion = TLS1_2_VERSION; }), "h2"},
      {"TLS 1.3", with([](TlsOptions& o) { o.minVersion = TLS1_3_VERSION; }), "h2"},
      {"TLS 1.1", with([](TlsOptions& o) { o.maxVersion = TLS1_1_VERSION; }), std::nullopt},
      {"another authority", with([&](TlsOptions& o) { o.authorityPem = otherAuthority; }),
       std::nullopt},
      {"a name not certified", with([](TlsOptions& o) { o.verifyName = "example.com"; }),
       std::nullopt},
      {"another address", with([](TlsOptions& o) { o.verifyName = "127.0.0.2"; }), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Channel channel(serve.port(), c.options);
    EXPECT_EQ(channel.ok(), c.protocol.has_value());
    if (c.protocol) {
      EXPECT_EQ(channel.alpn(), *c.protocol);
    }
  }
}

TEST(ServeTls, ServesHttp1AndItsEventsOverTls) {
  ServeProcess serve(tlsArguments());
  TlsOptions http1;
  http1.alpn = {"http/1.1"};
  Channel events(serve.port(), http1);
  ASSERT_TRUE(events.ok());
  events.write("GET /events HTTP/1.1\r\nHost: localhost:" + std::to_string(serve.port()) +
               "\r\n\r\n");
  EXPECT_NE(readUntil(events, "retry: 1000\nid: 1\n\n").find("text/event-stream"),
            std::string::npos);

  Channel client(serve.port(), http1);
  ASSERT_TRUE(client.ok());
  const std::string body = update("Over TLS");
  client.write(
      "POST /3/device/0a1b HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
      "apns-push-type: liveactivity\r\n"
      "apns-topic: com.corvlin.app.push-type.liveactivity\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n" + body);
  const std::string answer = readUntil(client, "\"state\":\"active\"}");
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("apns-id: "), std::string::npos);
  EXPECT_NE(answer.find(R"({"outcome":"applied")"), std::string::npos) << answer;
  const std::string event = readUntil(events, "\n\n");
  EXPECT_NE(event.find(R"("token":"0a1b")"), std::string::npos) << event;

  // The page's origin is https: a page served over TLS may post, one over plain HTTP not.
  Channel foreign(serve.port(), http1);
  foreign.write(
      "GET / HTTP/1.1\r\nHost: localhost\r\nOrigin: http://localhost\r\n"
      "Connection: close\r\n\r\n");
  EXPECT_EQ(readUntil(foreign, "\r\n").rfind("HTTP/1.1 403", 0), 0u);
}

// A client that connects and never finishes its handshake, or never sends the preface on the
// plain port, is closed after the client timeout; the others are served meanwhile.
TEST(ServeTls, ClosesAClientThatStallsBeforeItsProtocolIsKnown) {
  for (const bool tls : {true, false}) {
    SCOPED_TRACE(tls ? "a TLS handshake never finished" : "half the HTTP/2 preface");
    const std::vector<std::string> timeout = {"--client-timeout", "300"};
    std::vector<std::string> arguments = timeout;
    if (tls) {
      arguments = tlsArguments();
      arguments.insert(arguments.end(), timeout.begin(), timeout.end());
    }
    ServeProcess serve(arguments);
    boost::asio::io_context io;
    boost::asio::ip::tcp::socket slow(io);
    slow.connect({boost::asio::ip::make_address("127.0.0.1"), serve.port()});
    boundWaits(slow, 10);
    boost::asio::write(slow, boost::asio::buffer(std::string(tls ? "\x16\x03\x01" : "PRI * HT")));
    H2Client other(tls ? std::make_unique<Channel>(serve.port(), TlsOptions{})
                       : std::make_unique<Channel>(serve.port()));
    EXPECT_EQ(other.push("localhost", "0a", update("Meanwhile")).status, 200u);
    char byte = 0;
    boost::system::error_code ec;
    boost::asio::read(slow, boost::asio::buffer(&byte, 1), ec);
    EXPECT_EQ(ec, boost::asio::error::eof) << "closed, not left waiting";
  }
}

TEST(ServeTls, RefusesWhatCannotServeTls) {
  const std::string folder = scratch();
  const CertificateFiles files = writeCertificateFiles(folder);
  const std::string otherKey = folder + "/other-key.pem";
  {
    std::ofstream out(otherKey);
    out << makeTestCertificates().keyPem;
  }
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
  };
  const std::vector<Case> cases = {
      {"--cert without --key", {"--tls", "--cert", files.chain}, 64},
      {"--cert without --tls", {"--cert", files.chain, "--key", files.key}, 64},
      {"--state-dir without --tls", {"--state-dir", folder}, 64},
      {"a missing chain", {"--tls", "--cert", folder + "/none.pem", "--key", files.key}, 66},
      {"a key that is no key", {"--tls", "--cert", files.chain, "--key", files.chain}, 66},
      {"another certificate's key", {"--tls", "--cert", files.chain, "--key", otherKey}, 66},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ServeProcess serve(c.arguments, {}, folder + "/stderr.txt");
    EXPECT_TRUE(serve.firstLine().empty()) << serve.firstLine();
    const int status = serve.stop(0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), c.status);
  }
}

// Without --cert, the local authority in --state-dir issues the server's certificate: made on
// the first start, the same on the next, and named on standard error for clients to trust.
TEST(ServeTls, IssuesItsCertificateFromTheLocalAuthority) {
  const std::string folder = scratch() + "/state";
  std::filesystem::remove_all(folder);
  std::string trusted;
  for (const char* start : {"first", "second"}) {
    SCOPED_TRACE(start);
    ServeProcess serve({"--tls", "--state-dir", folder}, {}, scratch() + "/notice.txt");
    ASSERT_EQ(serve.firstLine().rfind("serving https://", 0), 0u) << serve.firstLine();
    std::ifstream in(folder + "/ca.pem");
    const std::string authority((std::istreambuf_iterator<char>(in)), {});
    if (trusted.empty()) trusted = authority;
    EXPECT_EQ(authority, trusted) << "made once, then read";
    std::ifstream noticeFile(scratch() + "/notice.txt");
    const std::string notice((std::istreambuf_iterator<char>(noticeFile)), {});
    EXPECT_NE(notice.find("--cacert " + folder + "/ca.pem"), std::string::npos) << notice;
    for (const char* name : {"localhost", "127.0.0.1"}) {
      TlsOptions options;
      options.authorityPem = trusted;
      options.verifyName = name;
      H2Client client(std::make_unique<Channel>(serve.port(), options));
      EXPECT_EQ(client.push(name, "0a", update("From the authority")).status, 200u) << name;
    }
  }
}

// The server's process id, found among this process's children by its name; -1 if none
// appears within five seconds.
pid_t childNamed(const std::string& name) {
  for (int tries = 0; tries < 500; ++tries) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream stat(entry.path() / "stat");
      std::string line;
      std::getline(stat, line);
      const auto open = line.find(" (");
      const auto close = line.rfind(") ");
      if (open == std::string::npos || close == std::string::npos) continue;
      std::istringstream rest(line.substr(close + 2));
      char state = 0;
      pid_t parent = 0;
      rest >> state >> parent;
      if (parent == ::getpid() && line.substr(open + 2, close - open - 2) == name) {
        return static_cast<pid_t>(std::stol(line.substr(0, open)));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

// A server that waits for the local authority's lock (another server is making it) says so and
// on what, and a SIGTERM then ends it cleanly at once, exit 0, though the lock is never released.
TEST(ServeTls, ASignalWhileWaitingForTheAuthoritysLockEndsTheServerCleanly) {
  const std::string folder = scratch() + "/starting";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  const int lock = ::open((folder + "/ca.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  const std::string errors = scratch() + "/starting.txt";
  std::thread other([&] {
    const pid_t server = childNamed("corvlin-host");
    // It says that it waits once it takes the signals; a loaded machine may take a while.
    const auto saidNothing = [&] {
      std::error_code ec;
      const auto size = std::filesystem::file_size(errors, ec);
      return ec || size == 0;
    };
    for (int i = 0; i < 1000 && saidNothing(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (server > 0) ::kill(server, SIGTERM);
  });
  const auto start = std::chrono::steady_clock::now();
  ServeProcess serve({"--tls", "--state-dir", folder}, {}, errors);
  other.join();
  const int status = serve.stop(0);
  ::close(lock);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(serve.firstLine(), "") << "it never served";
  std::ifstream in(errors);
  const std::string said{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(said, "corvlin-host: waiting for " + folder +
                      "/ca.lock: another process holds it while it makes the local authority "
                      "(SIGINT or SIGTERM stops)\n");
  EXPECT_FALSE(std::filesystem::exists(folder + "/ca.pem"));
}

}  // namespace
}  // namespace corvlin::test
