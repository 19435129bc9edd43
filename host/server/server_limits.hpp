// The bounds the server keeps for every client, whichever protocol it speaks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace corvlin::host::server {

struct ServerLimits {
  // A request head (HTTP/1.1), or header list (HTTP/2), beyond this gets 431.
  std::size_t maxHeaderBytes = 8 * 1024;
  // Bodies up to this are read, so that a push body over the service's 4096 bytes gets its 413
  // PayloadTooLarge; a larger one gets the same answer and is read no further (HTTP/1.1 closes
  // the connection, HTTP/2 resets the stream).
  std::size_t maxBodyBytes = 64 * 1024;
  // Connections of every protocol together; one more is closed as soon as it is accepted.
  std::size_t maxConnections = 256;
  // A request must arrive whole, and a written answer be taken, within this; an idle
  // connection is closed after it too, and so is a TLS handshake not done by then.
  std::chrono::milliseconds clientTimeout{10000};
  // An event stream whose reader falls this many events behind is closed.
  std::size_t maxQueuedEvents = 1024;
  // The bytes a connection holds for its client to take: answers and events together (over
  // HTTP/2 an event counts on every stream it waits on). An event stream or answer that would
  // pass it is closed (HTTP/1.1) or its stream reset (HTTP/2, CANCEL).
  std::size_t maxQueuedBytes = std::size_t{16} << 20;
  // HTTP/2: the header fields one connection may have decoded with no answer completed in
  // between (each field's name and value and 32 bytes more), past which it is sent GOAWAY
  // (ENHANCE_YOUR_CALM) and disconnected: HPACK names a field of up to 4 KB in a byte.
  std::size_t maxHeaderBytesWithoutAnswer = std::size_t{1} << 20;
  // An event stream that is quiet this long gets a comment line, to find readers that are gone.
  std::chrono::milliseconds heartbeat{15000};
  // HTTP/2: the streams one connection may have open at once (SETTINGS_MAX_CONCURRENT_STREAMS).
  std::uint32_t maxConcurrentStreams = 128;
  // HTTP/2: a client that resets more streams than this without one answer completed in
  // between is sent GOAWAY (ENHANCE_YOUR_CALM) and disconnected.
  std::size_t maxResetsWithoutAnswer = 100;
};

}  // namespace corvlin::host::server
