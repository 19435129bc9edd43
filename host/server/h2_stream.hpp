// One HTTP/2 stream as the server keeps it: its request as it arrives, and what waits to be sent
// on it (an answer's body, or an event stream's blocks), counted in bytes, so that the session
// can bound what a connection holds for a client that does not take it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "host/server/event_block.hpp"
#include "host/server/http_message.hpp"

namespace corvlin::host::server {

class H2Stream {
 public:
  using Clock = std::chrono::steady_clock;

  Request request;
  std::string authority;
  std::size_t headerBytes = 0;
  bool headerTooLarge = false;
  bool requestComplete = false;
  bool answered = false;
  bool resetAfterAnswer = false;  // answered before the request ended: the client is to stop
  bool events = false;
  bool deferred = false;   // an event stream with nothing to send, waiting to be resumed
  bool cancelled = false;  // reset by the server: nothing more is sent on it
  // The session's clock: when it first saw the request incomplete, and since when the stream
  // has had bytes waiting and sent none of them (and how many it had sent by then).
  std::optional<Clock::time_point> seenIncomplete;
  std::optional<Clock::time_point> stalledSince;
  std::uint64_t sentWhenStalled = 0;

  // An answer's body, to be sent whole.
  void setBody(std::string body);
  // An event stream's block, after those waiting.
  void addBlock(EventBlock block);
  std::size_t waitingBlocks() const { return waiting_.size(); }
  // The bytes waiting to be sent, as framed.
  std::size_t waitingBytes() const { return waitingBytes_; }
  // Every byte handed out so far.
  std::uint64_t sentBytes() const { return sentBytes_; }
  // Copies up to `length` waiting bytes to `out`; how many. `bodyEnded` is set once an answer's
  // body has been handed out whole (an event stream never ends).
  std::size_t copyOut(std::uint8_t* out, std::size_t length, bool& bodyEnded);
  // Drops whatever waits; how many bytes that was.
  std::size_t drop();

 private:
  std::string body_;
  std::deque<EventBlock> waiting_;  // the board's texts, shared by every stream they go to
  std::size_t sent_ = 0;            // of `body_`, or of the first waiting block
  std::size_t waitingBytes_ = 0;
  std::uint64_t sentBytes_ = 0;
};

}  // namespace corvlin::host::server
