// The transport's check of a request's head, before any of its body is read, on heads as Beast
// parses them from the bytes a client sends.
#include "host/server/request_adapter.hpp"

#include <gtest/gtest.h>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/parser.hpp>

namespace corvlin::host::server {
namespace {

namespace http = boost::beast::http;

struct Parsed {
  bool ok = false;
  std::optional<Refused> refused;
};

// The head of `bytes` (the request line and fields, up to the blank line), checked.
Parsed checkHead(const std::string& bytes) {
  http::request_parser<http::string_body> parser;
  boost::beast::error_code ec;
  parser.put(boost::asio::buffer(bytes), ec);
  if (ec || !parser.is_header_done()) return {};
  return {true, refuseHead(parser.get())};
}

TEST(RequestAdapter, RefusesAHeadWhoseBodyCouldPassForAnotherRequest) {
  struct Case {
    const char* name;
    std::string requestLine;
    std::string fields;   // each ending in CRLF
    unsigned status = 0;  // 0: let through
  };
  const std::string post = "POST /3/device/0a HTTP/1.1";
  const std::string post10 = "POST /3/device/0a HTTP/1.0";
  const std::string host = "Host: 127.0.0.1:8443\r\n";
  const std::string te = "Transfer-Encoding: ";
  const std::vector<Case> cases = {
      {"no body framing", post, host},
      {"Content-Length", post, host + "Content-Length: 4\r\n"},
      {"chunked", post, host + te + "chunked\r\n"},
      {"chunked in any case, with list padding", post, host + te + ", ChunKed \r\n"},
      {"chunked, identity", post, host + te + "chunked, identity\r\n", 400},
      {"xchunked", post, host + te + "xchunked\r\n", 400},
      {"chunked, gzip", post, host + te + "chunked, gzip\r\n", 400},
      {"identity alone", post, host + te + "identity\r\n", 400},
      {"empty coding list", post, host + te + ",\r\n", 400},
      {"chunked, chunked", post, host + te + "chunked, chunked\r\n", 400},
      {"chunked applied twice", post, host + te + "gzip, chunked, chunked\r\n", 400},
      {"a coding with a parameter", post, host + te + "gzip;q=1, chunked\r\n", 400},
      {"gzip before chunked", post, host + te + "gzip, chunked\r\n", 501},
      {"unknown coding before chunked, in two fields", post,
       host + te + "x-rot13\r\n" + te + "chunked\r\n", 501},
      {"a coding that is not chunked, with Content-Length", post,
       host + te + "gzip\r\nContent-Length: 4\r\n", 400},
      {"Transfer-Encoding in HTTP/1.0", post10, host + te + "chunked\r\n", 400},
      {"two Host fields", post, host + "host: 127.0.0.1:8443\r\n", 400},
      {"no Host in HTTP/1.1", post, "Content-Length: 4\r\n", 400},
      {"no Host in HTTP/1.0", post10, "Content-Length: 4\r\n"},
      {"absolute form naming the Host", "GET HTTP://127.0.0.1:8443/ HTTP/1.1", host},
      {"absolute form naming the Host in another case", "GET http://localhost:8443/events HTTP/1.1",
       "Host: LOCALHOST:8443\r\n"},
      {"absolute form naming another authority",
       "POST http://attacker.example:8443/3/device/0a HTTP/1.1", host, 400},
      {"absolute form with another port", "GET http://127.0.0.1:80/ HTTP/1.1", host, 400},
      {"absolute form without Host", "GET http://127.0.0.1:8443/ HTTP/1.0", "", 400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed parsed = checkHead(c.requestLine + "\r\n" + c.fields + "\r\n");
    ASSERT_TRUE(parsed.ok) << "Beast takes the head";
    if (c.status == 0) {
      EXPECT_FALSE(parsed.refused.has_value()) << parsed.refused->status;
      continue;
    }
    ASSERT_TRUE(parsed.refused.has_value());
    EXPECT_EQ(parsed.refused->status, c.status);
    EXPECT_EQ(parsed.refused->reason, c.status == 501 ? "NotImplemented" : "BadRequest");
  }
}

TEST(RequestAdapter, HandsOnEveryFieldAsSent) {
  http::request_parser<http::string_body> parser;
  boost::beast::error_code ec;
  parser.eager(true);
  parser.put(boost::asio::buffer(std::string("POST /3/device/0a HTTP/1.1\r\nHost: h:1\r\n"
                                             "X-A: 1\r\nx-a: 2\r\nContent-Length: 2\r\n\r\n{}")),
             ec);
  ASSERT_FALSE(ec);
  ASSERT_TRUE(parser.is_done());
  const Request request = fromBeast(parser.get());
  EXPECT_EQ(request,
            (Request{"POST",
                     "/3/device/0a",
                     {{"Host", "h:1"}, {"X-A", "1"}, {"x-a", "2"}, {"Content-Length", "2"}},
                     "{}",
                     HttpVersion::http1}))
      << "an HTTP/1.1 request, for the warning of a push sent over it";
}

}  // namespace
}  // namespace corvlin::host::server
