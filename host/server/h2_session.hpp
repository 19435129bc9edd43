// An HTTP/2 server session on nghttp2, apart from any socket: bytes in, complete requests out,
// answers and event streams in, bytes out. nghttp2 does the framing, HPACK, flow control and
// the preface; this keeps the server's bounds on what a client may send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/server/event_block.hpp"
#include "host/server/http_message.hpp"

struct nghttp2_session;

namespace corvlin::host::server {

struct H2Limits {
  std::uint32_t maxConcurrentStreams = 128;  // advertised; nghttp2 refuses streams beyond it
  // A header list larger than this (names and values, 32 bytes more a field, as HTTP/2 counts
  // it) is not kept: its stream is answered 431 HeaderTooLarge.
  std::size_t maxHeaderBytes = 8 * 1024;
  // A body larger than this is read no further: 413 PayloadTooLarge, and the stream is reset.
  std::size_t maxBodyBytes = 64 * 1024;
  // More client resets than this without an answer completed in between: GOAWAY
  // ENHANCE_YOUR_CALM, and the connection is to end.
  std::size_t maxResetsWithoutAnswer = 100;
  // An event stream whose reader has this many events waiting is reset (CANCEL).
  std::size_t maxQueuedEvents = 1024;
};

// A complete request and the stream it came on. `:authority` is its Host header.
struct H2Request {
  std::int32_t stream = 0;
  Request request;
};

class H2Session {
 public:
  explicit H2Session(const H2Limits& limits);
  ~H2Session();
  H2Session(const H2Session&) = delete;
  H2Session& operator=(const H2Session&) = delete;

  // Takes bytes the client sent. False when the connection is to end (a protocol error, or a
  // client that resets streams in a loop): the GOAWAY that says so is in the output.
  bool receive(std::string_view bytes);
  // The requests completed since the last call, in the order they completed; a request whose
  // stream the client reset in the meantime is left out.
  std::vector<H2Request> takeRequests();
  // The streams that closed since the last call, for their event listeners to be stopped.
  std::vector<std::int32_t> takeClosedStreams();

  // Answers a request (a HEAD without the body, Content-Length kept). False when its stream is
  // gone.
  bool respond(std::int32_t stream, Response response, bool headOnly);
  // Starts the event stream's answer: 200 text/event-stream, its body whatever `sendOnEvents`
  // adds, never ending; for a HEAD, the same head and the stream's end, with no Content-Length
  // (the stream has none). False when the stream is gone.
  bool openEvents(std::int32_t stream, bool headOnly = false);
  // Adds text to an event stream: an event's JSON framed as a "data:" block, or a line as it
  // is; the text is shared, not copied. A reader that has fallen `maxQueuedEvents` blocks
  // behind has its stream reset.
  void sendOnEvents(std::int32_t stream, std::shared_ptr<const std::string> text, bool isEvent);
  // A comment line on every event stream that has nothing waiting.
  void heartbeat();
  // GOAWAY (NO_ERROR): no new streams; the open ones may finish.
  void goAway();

  // Appends what is to be written to `out`, up to about `atMost` bytes; false when nothing was.
  bool takeOutput(std::string& out, std::size_t atMost);
  // Neither side wants anything more: the connection may close.
  bool finished() const;
  // Streams whose request has begun and not yet arrived whole.
  std::size_t incompleteRequests() const;
  // Streams open, answered or not, events included.
  std::size_t openStreams() const { return streams_.size(); }
  bool hasEventStreams() const;

  struct Stream;
  struct Callbacks;

 private:
  friend struct Callbacks;
  Stream* find(std::int32_t stream);
  void refuse(std::int32_t stream, Stream& state, unsigned status, const char* reason);
  void complete(std::int32_t stream, Stream& state);

  H2Limits limits_;
  nghttp2_session* session_ = nullptr;
  std::unordered_map<std::int32_t, std::unique_ptr<Stream>> streams_;
  std::vector<std::int32_t> completed_;
  std::vector<std::int32_t> closed_;
  std::size_t resetsWithoutAnswer_ = 0;
  bool failed_ = false;
};

}  // namespace corvlin::host::server
