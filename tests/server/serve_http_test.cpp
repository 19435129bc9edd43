// corvlin-host serve's HTTP, byte for byte over real connections: framing and authority that
// could smuggle a request, HEAD and Allow, a path that is not UTF-8, the descriptor limit, and
// the event stream a disconnected page reconnects to.
#include <dirent.h>
#include <gtest/gtest.h>
#include <simdjson.h>
#include <sys/resource.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

struct Reply {
  unsigned status = 0;
  std::string body;
  bool toHead = false;  // the answer to a HEAD: a head alone
  std::string allow;    // the Allow header, expected exactly when not empty
  std::optional<std::size_t> contentLength;
};

// A connection that sends bytes as they are given and reads the answers one by one.
class RawConnection {
 public:
  explicit RawConnection(std::uint16_t port) : socket_(io_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
    boundWaits(socket_, 10);
  }
  void send(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }
  // The next answer; status 0 when none could be read.
  Reply read(bool toHead) {
    http::response_parser<http::string_body> parser;
    parser.skip(toHead);
    beast::error_code ec;
    http::read(socket_, buffer_, parser, ec);
    if (ec) return {};
    const auto& response = parser.get();
    Reply reply{response.result_int(), response.body(), toHead, {}, {}};
    if (auto allow = response.find(http::field::allow); allow != response.end()) {
      reply.allow = std::string(allow->value());
    }
    if (response.count(http::field::content_length) != 0) {
      reply.contentLength = std::stoul(std::string(response[http::field::content_length]));
    }
    return reply;
  }
  // True when the server has closed the connection: nothing more to read.
  bool closedByServer() {
    beast::error_code ec;
    if (buffer_.size() != 0) return false;
    char byte = 0;
    asio::read(socket_, asio::buffer(&byte, 1), ec);
    return ec == asio::error::eof || ec == asio::error::connection_reset;
  }

 private:
  asio::io_context io_;
  tcp::socket socket_;
  beast::flat_buffer buffer_;
};

std::string refusal(const char* reason) { return std::string(R"({"reason":")") + reason + "\"}"; }

// What a case expects: a refusal with its body, a 200 whose body varies, or a head alone.
Reply refused(unsigned status, const char* reason, std::string allow = "") {
  return {status, refusal(reason), false, std::move(allow), std::nullopt};
}
Reply ok() { return {200, "", false, "", std::nullopt}; }
Reply headOnly(unsigned status, std::string allow = "",
               std::optional<std::size_t> contentLength = std::nullopt) {
  return {status, "", true, std::move(allow), contentLength};
}

TEST(ServeHttp, ClosesOnFramingItCannotTrustAndAnswersHeadLikeGet) {
  ServeProcess serve({});
  const std::string port = std::to_string(serve.port());
  const std::string host = "Host: 127.0.0.1:" + port + "\r\n";
  const std::string pushFields =
      host +
      "apns-push-type: liveactivity\r\napns-topic: com.corvlin.app.push-type.liveactivity\r\n";
  const std::string body =
      R"({"aps":{"event":"update","timestamp":1767225510,"content-state":{"title":"Smuggled"}}})";
  // A whole push, sent where the body of another request goes.
  const std::string smuggled = "POST /3/device/5a HTTP/1.1\r\n" + pushFields +
                               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  auto chunked = [](const std::string& data) {
    std::ostringstream out;
    out << std::hex << data.size() << "\r\n" << data << "\r\n0\r\n\r\n";
    return out.str();
  };
  auto postWith = [&](const std::string& transferEncoding, const std::string& content) {
    return "POST /3/device/0a HTTP/1.1\r\n" + pushFields +
           "Transfer-Encoding: " + transferEncoding + "\r\n\r\n" + content;
  };
  struct Case {
    const char* name;
    std::string bytes;  // sent at once on a connection of its own
    std::vector<Reply> replies;
    bool closed;  // otherwise, the connection must still answer a request in step
  };
  const std::vector<Case> cases = {
      {"chunked, identity",
       postWith("chunked, identity", smuggled),
       {refused(400, "BadRequest")},
       true},
      {"xchunked", postWith("xchunked", smuggled), {refused(400, "BadRequest")}, true},
      {"chunked, gzip", postWith("chunked, gzip", smuggled), {refused(400, "BadRequest")}, true},
      {"gzip, chunked",
       postWith("gzip, chunked", chunked(smuggled)),
       {refused(501, "NotImplemented")},
       true},
      {"chunked alone is read", postWith("chunked", chunked(body)), {ok()}, false},
      {"two Host fields",
       "GET / HTTP/1.1\r\n" + host + "Host: localhost:" + port + "\r\n\r\n",
       {refused(400, "BadRequest")},
       true},
      {"absolute form naming another authority",
       "GET http://attacker.example:" + port + "/ HTTP/1.1\r\n" + host + "\r\n",
       {refused(400, "BadRequest")},
       true},
      {"absolute form naming the Host",
       "GET http://127.0.0.1:" + port + "/ HTTP/1.1\r\n" + host + "\r\n",
       {ok()},
       false},
      {"no Host", "GET / HTTP/1.1\r\n\r\n", {refused(400, "BadRequest")}, true},
      {"HEAD of the page", "HEAD / HTTP/1.1\r\n" + host + "\r\n", {headOnly(200)}, false},
      {"HEAD of the events", "HEAD /events HTTP/1.1\r\n" + host + "\r\n", {headOnly(200)}, true},
      {"HEAD of a push path",
       "HEAD /3/device/0a HTTP/1.1\r\n" + host + "\r\n",
       {headOnly(405, "POST", refusal("MethodNotAllowed").size())},
       false},
      {"PUT of the page",
       "PUT / HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n",
       {refused(405, "MethodNotAllowed", "GET, HEAD")},
       false},
      {"GET of a push path",
       "GET /3/device/0a HTTP/1.1\r\n" + host + "\r\n",
       {refused(405, "MethodNotAllowed", "POST")},
       false},
      {"a path that is not UTF-8",
       "POST /3/device/\xff\xfe\xc3 HTTP/1.1\r\n" + pushFields + "Content-Length: 2\r\n\r\n{}",
       {refused(400, "BadDeviceToken")},
       false},
  };
  const std::string probe = "GET /3/device/0a HTTP/1.1\r\n" + host + "\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawConnection connection(serve.port());
    connection.send(c.bytes);
    for (const Reply& expected : c.replies) {
      const Reply reply = connection.read(expected.toHead);
      EXPECT_EQ(reply.status, expected.status);
      if (expected.status != 200 || expected.toHead) {
        // At most the start of a body, so that a page answered by mistake is not shown whole.
        EXPECT_EQ(reply.body.substr(0, 200), expected.body);
      }
      EXPECT_EQ(reply.allow, expected.allow);
      if (expected.contentLength) {
        EXPECT_EQ(reply.contentLength, expected.contentLength);
      }
    }
    if (c.closed) {
      EXPECT_TRUE(connection.closedByServer()) << "nothing after the refused head is read";
    } else {
      connection.send(probe);
      EXPECT_EQ(connection.read(false).status, 405u) << "the connection is still in step";
    }
  }

  // The smuggled push never ran: token 5a has no activity.
  const Answer page = send(serve.port(), "GET", "/");
  EXPECT_EQ(page.body.find("data-token=\"5a\""), std::string::npos);
  // The refused path is logged and drawn as UTF-8, its stray bytes as U+FFFD.
  EXPECT_TRUE(simdjson::validate_utf8(page.body.data(), page.body.size()));
  EXPECT_NE(page.body.find("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"), std::string::npos);

  // HEAD counts the page's bytes as GET sends them. The page carries the instant it was drawn,
  // whose digits may differ by a few from one drawing to the next; and an activity's drawing,
  // made off the loop, may land between the two: the pair is asked again then.
  std::optional<std::size_t> headLength;
  std::size_t getLength = 0;
  for (int attempt = 0; attempt < 5; ++attempt) {
    RawConnection both(serve.port());
    both.send("HEAD / HTTP/1.1\r\n" + host + "\r\nGET / HTTP/1.1\r\n" + host + "\r\n");
    headLength = both.read(true).contentLength;
    getLength = both.read(false).body.size();
    ASSERT_TRUE(headLength.has_value());
    if (*headLength <= getLength + 8 && getLength <= *headLength + 8) break;
  }
  EXPECT_NEAR(static_cast<double>(*headLength), static_cast<double>(getLength), 8);
}

// The descriptors the process `pid` has open below `limit`.
std::size_t openDescriptorsBelow(pid_t pid, std::size_t limit) {
  std::size_t count = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> folder(
      ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str()), ::closedir);
  if (!folder) return 0;
  while (const dirent* entry = ::readdir(folder.get())) {
    if (entry->d_name[0] == '.') continue;
    if (std::stoul(entry->d_name) < limit) ++count;
  }
  return count;
}

// A page that fell behind is disconnected; when it reconnects it is first sent what a page
// loaded then would show: the activities there are, the log kept, each newest drawing.
TEST(ServeHttp, AReconnectingPageHearsWhatItMissedFirst) {
  ServeProcess serve({});
  const auto body = [](int timestamp, const std::string& title) {
    return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
           R"(,"content-state":{"title":")" + title + R"("}}})";
  };
  {
    EventReader first(serve.port());
    ASSERT_EQ(push(serve.port(), "0a", body(1767225510, "First")).status, 200u);
    ASSERT_EQ(member(first.nextDrawing(), {"drawn"}), "1");
    ASSERT_EQ(push(serve.port(), "0a", body(1767225511, "Second")).status, 200u);
    ASSERT_EQ(member(first.nextDrawing(), {"drawn"}), "2");
  }
  EventReader again(serve.port(), "1");
  EXPECT_EQ(member(again.next(), {"catchUp"}), R"(["0a"])");
  EXPECT_EQ(member(again.next(), {"log", "detail"}), "started by the app");
  EXPECT_EQ(member(again.next(), {"log", "outcome"}), "applied");
  const std::string caughtUp = again.next();
  EXPECT_EQ(member(caughtUp, {"token"}), "0a");
  EXPECT_EQ(member(caughtUp, {"drawn"}), "2");
  EXPECT_NE(member(caughtUp, {"html"}).find("Second"), std::string::npos);
  // A page opened for the first time has the activities in it already: the stream goes on.
  EventReader fresh(serve.port());
  ASSERT_EQ(push(serve.port(), "0b", body(1767225512, "Other")).status, 200u);
  EXPECT_EQ(member(fresh.next(), {"token"}), "0b");
  EXPECT_EQ(member(again.next(), {"token"}), "0b");
}

TEST(ServeHttp, ServesItsConnectionsWhileDescriptorsRunOutAndAcceptsWhenTheyComeBack) {
  ServeProcess serve({});
  const std::string host = "Host: 127.0.0.1:" + std::to_string(serve.port()) + "\r\n";
  const std::string getPage = "GET / HTTP/1.1\r\n" + host + "\r\n";
  RawConnection open(serve.port());
  open.send(getPage);
  ASSERT_EQ(open.read(false).status, 200u);

  // Leave the server two descriptors, then connect more clients than that.
  const std::size_t limit = openDescriptorsBelow(serve.pid(), 1 << 20) + 2;
  const rlimit low{limit, limit};
  ASSERT_EQ(::prlimit(serve.pid(), RLIMIT_NOFILE, &low, nullptr), 0);
  const std::size_t room = limit - openDescriptorsBelow(serve.pid(), limit);
  std::vector<std::unique_ptr<RawConnection>> clients;
  for (std::size_t i = 0; i < room + 4; ++i) {
    clients.push_back(std::make_unique<RawConnection>(serve.port()));
  }
  // Bounded: the server takes connections until no descriptor is left.
  for (int i = 0; i < 1000 && openDescriptorsBelow(serve.pid(), limit) < limit; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(openDescriptorsBelow(serve.pid(), limit), limit) << "the descriptors ran out";

  open.send(getPage);
  EXPECT_EQ(open.read(false).status, 200u) << "an open connection is served meanwhile";

  // The last client waits unaccepted; the others go, and their descriptors come back.
  clients.back()->send(getPage);
  for (std::size_t i = 0; i + 1 < clients.size(); ++i) clients[i].reset();
  EXPECT_EQ(clients.back()->read(false).status, 200u) << "accepted once descriptors came back";
}

TEST(ServeHttp, RaisesItsSoftDescriptorLimitAtStart) {
  rlimit mine{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &mine), 0);
  if (mine.rlim_max <= 256) GTEST_SKIP() << "the hard limit leaves nothing to raise";
  // The server inherits a low soft limit, set in this process for its start only.
  rlimit low = mine;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::optional<ServeProcess> serve;
  try {
    serve.emplace(std::vector<std::string>{});
  } catch (...) {
    ::setrlimit(RLIMIT_NOFILE, &mine);
    throw;
  }
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &mine), 0);
  rlimit theirs{};
  ASSERT_EQ(::prlimit(serve->pid(), RLIMIT_NOFILE, nullptr, &theirs), 0);
  EXPECT_EQ(theirs.rlim_cur, std::min<rlim_t>(mine.rlim_max, 4096));
  EXPECT_EQ(theirs.rlim_max, mine.rlim_max);
}

}  // namespace
}  // namespace corvlin::test
