// The server's requests and responses as plain values, apart from any socket or library.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvlin::host::server {

using Headers = std::vector<std::pair<std::string, std::string>>;

// The protocol a request came in: the push service speaks HTTP/2 alone, so a push over HTTP/1.1
// is answered with a warning that its client could not reach the service.
enum class HttpVersion { http2, http1 };

struct Request {
  std::string method;  // "GET", "POST", ...
  std::string target;  // the request target as sent, e.g. "/3/device/0a1b"
  Headers headers;     // names as sent; looked up without regard to case
  std::string body;
  HttpVersion version = HttpVersion::http2;

  friend bool operator==(const Request&, const Request&) = default;
};

struct Response {
  unsigned status = 200;
  Headers headers;  // besides Content-Length, which the transport writes
  std::string body;

  friend bool operator==(const Response&, const Response&) = default;
};

// The first header of that name, compared without regard to ASCII case; null when absent.
const std::string* findHeader(const Headers& headers, std::string_view name);

// An absolute-form request target ("http://127.0.0.1:8443/3/device/0a") in its parts: the
// authority, and the origin form that follows it ("/" when nothing does). Null for a target in
// any other form ("/3/device/0a", "*").
struct AbsoluteTarget {
  std::string_view authority;
  std::string_view originForm;
};
std::optional<AbsoluteTarget> absoluteForm(std::string_view target);

}  // namespace corvlin::host::server
