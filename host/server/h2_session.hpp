// An HTTP/2 server session on nghttp2, apart from any socket: bytes in, complete requests out,
// answers and event streams in, bytes out. nghttp2 does the framing, HPACK, flow control and
// the preface; this keeps the server's bounds on what a client may send.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/server/h2_stream.hpp"
#include "host/server/http_message.hpp"

struct nghttp2_session;

namespace corvlin::host::server {

struct H2Limits {
  // Advertised (SETTINGS_MAX_CONCURRENT_STREAMS). nghttp2 refuses a stream beyond it with
  // RST_STREAM REFUSED_STREAM while the client has not acknowledged the setting, and ends the
  // connection (GOAWAY PROTOCOL_ERROR) once it has: a client that knows the bound broke it.
  std::uint32_t maxConcurrentStreams = 128;
  // A header list larger than this (names and values, 32 bytes more a field, as HTTP/2 counts
  // it) is not kept: its stream is answered 431 HeaderTooLarge.
  std::size_t maxHeaderBytes = 8 * 1024;
  // The header fields decoded (counted the same way) with no answer completed in between. HPACK
  // lets a client name a 4 KB field in one byte, and each field decoded costs its length: past
  // this, GOAWAY ENHANCE_YOUR_CALM, and the connection is to end.
  std::size_t maxHeaderBytesWithoutAnswer = std::size_t{1} << 20;
  // A body larger than this is read no further: 413 PayloadTooLarge, and the stream is reset.
  std::size_t maxBodyBytes = 64 * 1024;
  // More client resets than this without an answer completed in between: GOAWAY
  // ENHANCE_YOUR_CALM, and the connection is to end.
  std::size_t maxResetsWithoutAnswer = 100;
  // An event stream whose reader has this many events waiting is reset (CANCEL).
  std::size_t maxQueuedEvents = 1024;
  // The bytes waiting to be sent on all the connection's streams together: answers' bodies and
  // event blocks, a block counted on every stream it waits on. A stream whose answer or next
  // block would pass it is reset (CANCEL) instead.
  std::size_t maxQueuedBytes = std::size_t{16} << 20;
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

  // Takes bytes the client sent. False when the connection is to end (a protocol error, a
  // client that resets streams in a loop or sends too many header fields, too many CONTINUATION
  // frames, no memory left): the GOAWAY that says so is in the output.
  bool receive(std::string_view bytes);
  // The requests completed since the last call, in the order they completed; a request whose
  // stream the client reset in the meantime is left out.
  std::vector<H2Request> takeRequests();
  // The streams that closed since the last call, for their event listeners to be stopped.
  std::vector<std::int32_t> takeClosedStreams();

  // Answers a request (a HEAD without the body, Content-Length kept). False when its stream is
  // gone, or was reset because the body would pass the bound on queued bytes.
  bool respond(std::int32_t stream, Response response, bool headOnly);
  // Starts the event stream's answer: 200 text/event-stream, its body whatever `sendOnEvents`
  // adds, never ending; for a HEAD, the same head and the stream's end, with no Content-Length
  // (the stream has none). False when the stream is gone.
  bool openEvents(std::int32_t stream, bool headOnly = false);
  // Adds text to an event stream: an event's JSON framed as a "data:" block, or a line as it
  // is; the text is shared, not copied. A reader that has fallen `maxQueuedEvents` blocks
  // behind, or whose block would pass `maxQueuedBytes`, has its stream reset.
  void sendOnEvents(std::int32_t stream, std::shared_ptr<const std::string> text, bool isEvent);
  // A comment line on every event stream that has nothing waiting.
  void heartbeat();
  // GOAWAY (NO_ERROR): no new streams; the open ones may finish.
  void goAway();
  // The session's clock, called every so often (a fraction of `timeout` apart): a request not
  // arrived whole `timeout` after it was first seen is answered 408 RequestTimeout and its
  // stream reset (NO_ERROR); a stream that has had bytes waiting and sent none of them for
  // `timeout` (flow control held them) is reset (CANCEL).
  void checkDeadlines(std::chrono::steady_clock::time_point now, std::chrono::milliseconds timeout);

  // Appends what is to be written to `out`, up to about `atMost` bytes; false when nothing was.
  bool takeOutput(std::string& out, std::size_t atMost);
  // Neither side wants anything more: the connection may close.
  bool finished() const;
  // Streams open, answered or not, events included.
  std::size_t openStreams() const { return streams_.size(); }
  bool hasEventStreams() const;
  // The bytes waiting on all streams together; never more than `maxQueuedBytes`.
  std::size_t queuedBytes() const { return queuedBytes_; }

  struct Callbacks;

 private:
  friend struct Callbacks;
  H2Stream* find(std::int32_t stream);
  void refuse(std::int32_t stream, H2Stream& state, unsigned status, const char* reason);
  void complete(std::int32_t stream, H2Stream& state);
  // Resets a stream the server gives up on, and drops what waits on it.
  void cancel(std::int32_t stream, H2Stream& state);
  // Ends the connection with GOAWAY `code`, once.
  void terminate(std::uint32_t code);

  H2Limits limits_;
  nghttp2_session* session_ = nullptr;
  std::unordered_map<std::int32_t, std::unique_ptr<H2Stream>> streams_;
  std::vector<std::int32_t> completed_;
  std::vector<std::int32_t> closed_;
  std::size_t resetsWithoutAnswer_ = 0;
  std::size_t headerBytesWithoutAnswer_ = 0;
  std::size_t queuedBytes_ = 0;
  bool failed_ = false;
  bool terminated_ = false;
};

}  // namespace corvlin::host::server
