// The push endpoint's latency as a page sees it: the time from sending a POST to receiving the
// Server-Sent Event that shows its activity's newest drawing (the drawing event whose "drawn"
// is at least the count "push" of the step event of that POST), measured one push at a time, on
// top of whatever load runs beside it. Prints the percentiles in milliseconds, and those of
// the answer alone.
//
//   corvlin-bench-serve-latency PORT COUNT TOKEN [AUTHORIZATION]
//
// AUTHORIZATION, when given, is sent as each push's `authorization` header, as a sender's is.
#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// The number after `"key":` in `block`'s head (where the step and drawing events name their
// push), or -1.
long long numberAfter(std::string_view block, const std::string& key) {
  const std::string wanted = "\"" + key + "\":";
  const auto at = block.substr(0, 96).find(wanted);
  if (at == std::string_view::npos) return -1;
  return std::atoll(block.data() + at + wanted.size());
}

// The event stream as read so far: bytes not yet looked at from `from` on. Read in large
// pieces, and only each event's head looked at, so that the page keeps up with the stream.
struct Stream {
  std::string bytes;
  std::size_t from = 0;
};

// What the page has heard of the probe's token, kept by the thread that reads the stream
// without pause, as a page does: its steps, the push count of the last, and the newest
// drawing with the instant it came.
struct Heard {
  std::mutex mutex;
  std::condition_variable changed;
  long long steps = 0;
  long long lastPush = -1;
  long long drawn = -1;
  Clock::time_point drawnAt;
  bool ended = false;
};

void readStream(tcp::socket& socket, Stream& stream, const std::string& token, Heard& heard) {
  const std::string wanted = "data: {\"token\":\"" + token + "\",";
  std::vector<char> piece(1 << 16);
  for (;;) {
    const auto end = stream.bytes.find("\n\n", stream.from);
    if (end == std::string::npos) {
      if (stream.from > (1u << 20)) {
        stream.bytes.erase(0, stream.from);
        stream.from = 0;
      }
      beast::error_code ec;
      const std::size_t got = socket.read_some(asio::buffer(piece), ec);
      if (ec) break;
      stream.bytes.append(piece.data(), got);
      continue;
    }
    const std::string_view block(stream.bytes.data() + stream.from, end - stream.from);
    stream.from = end + 2;
    if (block.rfind(wanted, 0) != 0) continue;
    const long long push = numberAfter(block, "push");
    const long long drawn = numberAfter(block, "drawn");
    const auto at = Clock::now();
    std::lock_guard lock(heard.mutex);
    if (push >= 0) {
      ++heard.steps;
      heard.lastPush = push;
    }
    if (drawn > heard.drawn) {
      heard.drawn = drawn;
      heard.drawnAt = at;
    }
    heard.changed.notify_all();
  }
  std::lock_guard lock(heard.mutex);
  heard.ended = true;
  heard.changed.notify_all();
}

// Waits for the step of the probe's push number `steps` and then for a drawing of at least its
// push count: the instant that drawing came, or none when the stream ended.
std::optional<Clock::time_point> awaitDrawing(Heard& heard, long long steps) {
  std::unique_lock lock(heard.mutex);
  heard.changed.wait(
      lock, [&] { return heard.ended || (heard.steps >= steps && heard.drawn >= heard.lastPush); });
  if (heard.steps < steps || heard.drawn < heard.lastPush) return std::nullopt;
  return heard.drawnAt;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: corvlin-bench-serve-latency PORT COUNT TOKEN [AUTHORIZATION]\n");
    return 64;
  }
  const auto port = static_cast<unsigned short>(std::stoi(argv[1]));
  const int count = std::stoi(argv[2]);
  const std::string token = argv[3];
  const std::string authorization = argc == 5 ? argv[4] : "";
  const std::string host = "127.0.0.1:" + std::to_string(port);
  asio::io_context io;
  const tcp::endpoint server{asio::ip::make_address("127.0.0.1"), port};

  tcp::socket events(io);
  events.connect(server);
  events.set_option(tcp::no_delay(true));
  const std::string open = "GET /events HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
  asio::write(events, asio::buffer(open));
  events.set_option(asio::socket_base::receive_buffer_size(4 << 20));
  Stream stream;
  while (stream.bytes.find("\r\n\r\n") == std::string::npos) {
    char piece[4096];
    stream.bytes.append(piece, events.read_some(asio::buffer(piece)));
  }
  stream.from = stream.bytes.find("\r\n\r\n") + 4;  // the stream's head; its events follow

  Heard heard;
  std::thread reader([&] { readStream(events, stream, token, heard); });

  tcp::socket pushes(io);
  pushes.connect(server);
  pushes.set_option(tcp::no_delay(true));
  beast::flat_buffer answers;

  std::vector<double> toEvent;
  std::vector<double> toAnswer;
  const long base = std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
  for (int i = 0; i < count; ++i) {
    http::request<http::string_body> request{http::verb::post, "/3/device/" + token, 11};
    request.set(http::field::host, host);
    request.set("apns-push-type", "liveactivity");
    request.set("apns-topic", "com.corvlin.app.push-type.liveactivity");
    if (!authorization.empty()) request.set(http::field::authorization, authorization);
    request.body() = R"({"aps":{"event":"update","timestamp":)" + std::to_string(base + i) +
                     R"(,"content-state":{"title":"Latency probe )" + std::to_string(i) +
                     R"(","tone":"positive","progress":0.5}}})";
    request.prepare_payload();
    const auto sent = Clock::now();
    http::write(pushes, request);
    http::response<http::string_body> response;
    http::read(pushes, answers, response);
    const auto answered = Clock::now();
    if (response.result_int() != 200) {
      std::fprintf(stderr, "push %d answered %u: %s\n", i, response.result_int(),
                   response.body().c_str());
      std::_Exit(1);
    }
    const auto drawnAt = awaitDrawing(heard, i + 1);
    if (!drawnAt) {
      std::fprintf(stderr, "the event stream ended after %d pushes\n", i);
      std::_Exit(1);
    }
    toAnswer.push_back(std::chrono::duration<double, std::milli>(answered - sent).count());
    toEvent.push_back(std::chrono::duration<double, std::milli>(*drawnAt - sent).count());
  }
  events.shutdown(tcp::socket::shutdown_both);
  reader.join();
  std::printf("pushes %d\n", count);
  std::printf("post-to-drawing p50 %.3f p90 %.3f p99 %.3f max %.3f ms\n", percentile(toEvent, 0.5),
              percentile(toEvent, 0.9), percentile(toEvent, 0.99), percentile(toEvent, 1.0));
  std::printf("post-to-answer p50 %.3f p99 %.3f ms\n", percentile(toAnswer, 0.5),
              percentile(toAnswer, 0.99));
  return 0;
}
