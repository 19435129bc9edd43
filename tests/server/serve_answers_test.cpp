// corvlin-host serve's answers as a push client files them: the phone's verdict in a body that
// no client takes for a refusal, a push over HTTP/1.1 named as one that could not reach the
// push service, and plain HTTP on the TLS port answered with the port's https:// address.
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "h2_test_support.hpp"
#include "serve_test_support.hpp"
#include "tls_test_support.hpp"

namespace corvlin::test {
namespace {

namespace asio = boost::asio;

std::filesystem::path scratch() {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("corvlin-answers-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

std::vector<std::string> tlsArguments() {
  const CertificateFiles files = writeCertificateFiles(scratch().string());
  return {"--tls", "--cert", files.chain, "--key", files.key};
}

std::string update(double timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

std::string readWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A push client merges a 200 answer's body into its result and files any result with a
// "status" or an "error" as failed: the phone's verdict keeps its error under "phone".
TEST(ServeAnswers, AnswersThePhonesVerdictInABodyNoClientTakesForARefusal) {
  ServeProcess serve({});
  struct Case {
    const char* name;
    std::string body;
    const char* outcome;
    const char* reasonOrPath;  // the reason, or the error's coding path
    std::string warnings;      // the "warnings" member, exact; empty when left out
  };
  const std::string tone =
      R"({"warning":{"kind":"unknownKeyword","codingPath":["aps","content-state","tone"],)"
      R"("description":"The tone \"Warning\" is none of \"danger\", \"warning\", \"positive\" (compared exactly); the accent falls back to the default blue.","hint":"did you mean \"warning\"?"}})";
  // Over HTTP/1.1 without --auth-key, a push without a token is taken, and says both that its
  // client could not reach the push service and that the service would refuse it.
  const std::string service = http1PushWarning + "," + noProviderTokenWarning;
  const std::string only = "[" + service + "]";
  const std::vector<Case> cases = {
      {"first update starts the activity", update(1767225510, "A"), "applied", "started by the app",
       only},
      {"newer update", update(1767225520, "B"), "applied", "", only},
      {"older update", update(1767225500, "C"), "ignored", "older than the last update", only},
      {"not JSON", "{\"aps\":", "rejected", "[]", only},
      {"missing label",
       R"({"aps":{"event":"update","timestamp":1767225530,"content-state":{"title":"D","actions":[{"actionId":"x"}]}}})",
       "rejected", R"(["aps","content-state","actions",0,"label"])", only},
      {"a body with its own status and error members",
       R"({"status":500,"error":"x","aps":{"event":"update","timestamp":1767225531,"content-state":{"title":"S"}}})",
       "applied", "", only},
      {"a warned update is applied, with its warnings",
       R"({"aps":{"event":"update","timestamp":1767225535,"content-state":{"title":"D","tone":"Warning"}}})",
       "applied", "", "[" + service + "," + tone + "]"},
      {"an ignored update still says what is wrong with it",
       R"({"aps":{"event":"update","timestamp":1767225500,"content-state":{"title":"D","tone":"Warning"}}})",
       "ignored", "older than the last update", "[" + service + "," + tone + "]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer answer =
        push(serve.port(), "0a", c.body, {{"apns-id", "11111111-2222-4333-8444-555555555555"}});
    EXPECT_EQ(answer.status, 200u);
    EXPECT_EQ(answer.headers.at("apns-id"), "11111111-2222-4333-8444-555555555555");
    EXPECT_EQ(member(answer.body, {"outcome"}), c.outcome);
    EXPECT_EQ(member(answer.body, {"state"}), "active");
    EXPECT_EQ(member(answer.body, {"status"}), "") << answer.body;
    EXPECT_EQ(member(answer.body, {"error"}), "") << answer.body;
    if (std::string(c.outcome) == "rejected") {
      EXPECT_EQ(member(answer.body, {"phone", "error", "codingPath"}), c.reasonOrPath);
      EXPECT_EQ(member(answer.body, {"reason"}), "");
    } else {
      EXPECT_EQ(member(answer.body, {"reason"}), c.reasonOrPath);
      EXPECT_EQ(member(answer.body, {"phone"}), "");
    }
    EXPECT_EQ(member(answer.body, {"warnings"}), c.warnings);
  }
}

// The push service speaks HTTP/2 alone: a push over HTTP/1.1 is answered as any other, its
// first warning saying that its client could not connect there, in every place warnings go.
TEST(ServeAnswers, NamesAPushOverHttp1WhereverWarningsGo) {
  const auto errors = scratch() / "http1-stderr.txt";
  ServeProcess serve({}, {}, errors.string());
  EventReader events(serve.port());
  const Answer overHttp1 = push(serve.port(), "0a", "not JSON");
  EXPECT_EQ(overHttp1.status, 200u);
  EXPECT_EQ(member(overHttp1.body, {"outcome"}), "rejected");
  EXPECT_EQ(member(overHttp1.body, {"warnings"}),
            "[" + http1PushWarning + "," + noProviderTokenWarning + "]");
  const std::string event = events.next();
  EXPECT_EQ(member(event, {"step", "warnings"}), member(overHttp1.body, {"warnings"}));
  EXPECT_EQ(member(event, {"log", "warnings"}), member(overHttp1.body, {"warnings"}));
  const std::string page = send(serve.port(), "GET", "/").body;
  EXPECT_NE(page.find("http1Push at &lt;top level&gt;: The push came over HTTP/1.1"),
            std::string::npos)
      << "under the push's log entry";

  H2Client h2c(std::make_unique<Channel>(serve.port()));
  const H2Answer overHttp2 = h2c.push("localhost", "0b", update(1767225510, "Over HTTP/2"));
  EXPECT_EQ(overHttp2.status, 200u);
  EXPECT_EQ(member(overHttp2.body, {"warnings"}), "[" + noProviderTokenWarning + "]");

  const int status = serve.stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string said = readWhole(errors);
  const std::string line =
      http1PushWarning.substr(0, http1PushWarning.size() - 2) + R"(,"token":"0a"}})" + "\n";
  EXPECT_NE(said.find(line), std::string::npos) << said;
  EXPECT_EQ(said.find(R"("kind":"http1Push")"), said.rfind(R"("kind":"http1Push")"))
      << "the HTTP/2 push has none: " << said;
}

// Reads what the server sends until it closes the connection (or 10 s pass).
std::string readToEnd(asio::ip::tcp::socket& socket) {
  std::string got;
  boost::system::error_code ec;
  asio::read(socket, asio::dynamic_buffer(got), ec);
  return got;
}

// Plain text on the TLS port is answered in plain HTTP with the https:// address, then the
// connection is closed; TLS clients are served beside it.
TEST(ServeAnswers, AnswersPlainTextOnTheTlsPortWithItsHttpsAddress) {
  ServeProcess serve(tlsArguments());
  const std::string address = "https://127.0.0.1:" + std::to_string(serve.port()) + "/";
  const std::string port = std::to_string(serve.port());
  const std::string body = update(1767225510, "x");
  struct Case {
    const char* name;
    std::string sent;
  };
  const std::vector<Case> cases = {
      {"a GET", "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n"},
      {"a push with its body",
       "POST /3/device/0a HTTP/1.1\r\nHost: localhost\r\napns-push-type: liveactivity\r\n"
       "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body},
      {"the HTTP/2 preface (h2c)", "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n"},
      {"a single letter", "G"},
      {"more than is read at once", "POST / HTTP/1.1\r\n" + std::string(20000, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), serve.port()});
    boundWaits(socket, 10);
    boost::system::error_code ec;
    asio::write(socket, asio::buffer(c.sent), ec);
    const std::string got = readToEnd(socket);
    EXPECT_EQ(got.rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u) << got;
    EXPECT_NE(got.find("Content-Type: text/plain; charset=utf-8\r\n"), std::string::npos) << got;
    EXPECT_NE(got.find("Connection: close\r\n"), std::string::npos) << got;
    EXPECT_TRUE(got.ends_with("\r\n\r\nThis port speaks TLS (HTTPS) only: use " + address + "\n"))
        << got;
  }
  H2Client tls(std::make_unique<Channel>(serve.port(), TlsOptions{}));
  EXPECT_EQ(tls.push("localhost", "0a", update(1767225510, "Over TLS")).status, 200u);
}

// The bytes read to tell TLS from plain text are handed to the handshake: a ClientHello that
// comes a byte first and the rest later is still a handshake.
TEST(ServeAnswers, TakesAClientHelloThatArrivesInPieces) {
  ServeProcess serve(tlsArguments());
  asio::io_context io;
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::make_address("127.0.0.1"), serve.port()});
  boundWaits(socket, 10);
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  ASSERT_NE(context, nullptr);
  SSL* ssl = SSL_new(context);
  BIO* in = BIO_new(BIO_s_mem());
  BIO* out = BIO_new(BIO_s_mem());
  SSL_set_bio(ssl, in, out);  // the connection owns both now
  SSL_set_connect_state(ssl);
  auto pending = [&] {
    std::string bytes(static_cast<std::size_t>(BIO_ctrl_pending(out)), '\0');
    if (!bytes.empty()) BIO_read(out, bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
  };
  EXPECT_EQ(SSL_do_handshake(ssl), -1);
  const std::string hello = pending();
  ASSERT_GT(hello.size(), 1u);
  asio::write(socket, asio::buffer(hello.substr(0, 1)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  asio::write(socket, asio::buffer(hello.substr(1)));
  int done = -1;
  for (int round = 0; round < 20 && done != 1; ++round) {
    std::string got(16384, '\0');
    boost::system::error_code ec;
    got.resize(socket.read_some(asio::buffer(got), ec));
    if (ec) break;
    BIO_write(in, got.data(), static_cast<int>(got.size()));
    done = SSL_do_handshake(ssl);
    if (const std::string reply = pending(); !reply.empty())
      asio::write(socket, asio::buffer(reply));
  }
  EXPECT_EQ(done, 1) << "the handshake completes";
  SSL_free(ssl);
  SSL_CTX_free(context);
}

}  // namespace
}  // namespace corvlin::test
