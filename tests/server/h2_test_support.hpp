// An HTTP/2 client for tests, on nghttp2's client session over a Channel (h2c with prior
// knowledge, or TLS with ALPN h2).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tls_test_support.hpp"

struct nghttp2_session;

namespace corvlin::test {

struct H2Answer {
  unsigned status = 0;                         // 0: no answer came
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  bool closed = false;          // the stream ended
  std::uint32_t resetCode = 0;  // its RST_STREAM code, when the server reset it
};

// How the client differs from nghttp2's defaults.
struct H2ClientOptions {
  // Sent as SETTINGS_INITIAL_WINDOW_SIZE: 0 lets the server send no DATA on any stream.
  std::optional<std::uint32_t> initialWindowSize;
  // The largest header block it sends (nghttp2's own bound is 64 KiB).
  std::size_t maxHeaderBlock = 64 * 1024;
};

class H2Client {
 public:
  // What the client writes and reads through: `read` gives what came, empty at the end.
  using Write = std::function<bool(std::string_view)>;
  using Read = std::function<std::string()>;

  explicit H2Client(std::unique_ptr<Channel> channel, const H2ClientOptions& options = {});
  H2Client(Write write, Read read, const H2ClientOptions& options = {});
  ~H2Client();
  H2Client(const H2Client&) = delete;
  H2Client& operator=(const H2Client&) = delete;

  // A request; the fields after the pseudo-headers. `endStream` false leaves the request open
  // (no body, no end), as a client that has more to send.
  std::int32_t submit(const std::string& method, const std::string& path,
                      const std::string& authority,
                      const std::vector<std::pair<std::string, std::string>>& fields = {},
                      const std::string& body = "", bool endStream = true);
  void reset(std::int32_t stream);
  // Writes what the session has to say.
  void flush();
  // Reads until the stream ends (or 10 s pass); what came on it.
  H2Answer await(std::int32_t stream);
  // Reads until the stream's answer has its head (or 10 s pass); its status, 0 for none.
  unsigned awaitHead(std::int32_t stream);
  // The next Server-Sent Event's data on a stream; empty when none comes within 10 s.
  std::string nextEvent(std::int32_t stream);
  // Reads until the server closes the connection; the GOAWAY code it sent, -1 for none.
  long untilClosed();
  // What came on a stream so far, without reading more.
  const H2Answer& answer(std::int32_t stream);
  // A setting the server sent (SETTINGS_MAX_CONCURRENT_STREAMS is 3, ..._MAX_HEADER_LIST_SIZE 6).
  std::uint32_t serverSetting(int id);
  // A push with the headers the push service wants, answered.
  H2Answer push(const std::string& authority, const std::string& token, const std::string& body);

  struct State;

 private:
  bool pump();  // one read; false at the end
  std::unique_ptr<Channel> channel_;
  Write write_;
  Read read_;
  nghttp2_session* session_ = nullptr;
  std::unique_ptr<State> state_;
};

}  // namespace corvlin::test
