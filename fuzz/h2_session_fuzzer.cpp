// Feeds the HTTP/2 session glue with arbitrary bytes, as a client would send them on one
// connection (the seeds are whole sessions, preface included), in pieces whose sizes the input's
// last byte sets. Every request it completes is answered at once, every third one is turned
// into an event stream that is sent text, and the output is taken after each piece; the
// session's clock moves 40 ms a piece, against a timeout of 100 ms. Checks the bounds the session
// keeps: no request past the header list and body limits, none on a stream already answered, the
// bytes queued for the client never past their bound, and a session that ended stays ended.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_check.hpp"
#include "host/server/h2_session.hpp"

namespace {

using namespace corvlin::host::server;

std::size_t headerListBytes(const Request& request) {
  std::size_t bytes = 0;
  for (const auto& [name, value] : request.headers) bytes += name.size() + value.size() + 32;
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  H2Limits limits;
  limits.maxConcurrentStreams = 8;
  limits.maxHeaderBytes = 512;
  limits.maxBodyBytes = 1024;
  limits.maxResetsWithoutAnswer = 4;
  limits.maxQueuedEvents = 4;
  limits.maxQueuedBytes = 2048;
  limits.maxHeaderBytesWithoutAnswer = 16 * 1024;
  H2Session session(limits);
  auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  const std::size_t piece = 1 + data[size - 1] % 64;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::set<std::int32_t> answered;
  std::string output;
  bool ended = false;
  std::size_t count = 0;
  while (!input.empty()) {
    const std::string_view bytes = input.substr(0, piece);
    input.remove_prefix(bytes.size());
    const bool alive = session.receive(bytes);
    corvlin::fuzz::require(!(ended && alive), "a session that ended stays ended");
    ended = ended || !alive;
    for (auto& [stream, request] : session.takeRequests()) {
      corvlin::fuzz::require(stream > 0 && stream % 2 == 1, "requests come on client streams");
      corvlin::fuzz::require(answered.insert(stream).second, "a stream's request comes once");
      corvlin::fuzz::require(request.body.size() <= limits.maxBodyBytes, "the body bound holds");
      // :authority becomes Host, a shorter name; the other pseudo-headers count and are gone.
      corvlin::fuzz::require(headerListBytes(request) <= limits.maxHeaderBytes,
                             "the header list bound holds");
      corvlin::fuzz::require(!request.method.empty(), "a request has a method");
      if (++count % 3 == 0 && session.openEvents(stream)) {
        // Events of every size, the largest past the bound alone.
        session.sendOnEvents(stream, std::make_shared<const std::string>(request.target), true);
        session.sendOnEvents(stream, std::make_shared<const std::string>(request.body), true);
        session.heartbeat();
        corvlin::fuzz::require(session.queuedBytes() <= limits.maxQueuedBytes,
                               "the bytes queued stay within their bound");
        continue;
      }
      Response response;
      response.status = 200;
      response.headers = {{"Content-Type", "application/json"}};
      response.body = request.body;
      session.respond(stream, std::move(response), request.method == "HEAD");
      corvlin::fuzz::require(session.queuedBytes() <= limits.maxQueuedBytes,
                             "the bytes queued stay within their bound");
    }
    now += std::chrono::milliseconds(40);
    session.checkDeadlines(now, std::chrono::milliseconds(100));
    session.takeClosedStreams();
    output.clear();
    while (session.takeOutput(output, 1 << 16)) output.clear();
  }
  session.goAway();
  while (session.takeOutput(output, 1 << 16)) output.clear();
  (void)session.finished();
  return 0;
}
