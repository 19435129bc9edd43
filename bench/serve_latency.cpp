// The push endpoint's latency as a page sees it: the time from sending a POST to receiving the
// Server-Sent Event that shows its activity's newest drawing (the drawing event whose "drawn"
// is at least the count "push" of the step event of that POST), measured one push at a time, on
// top of whatever load runs beside it. Prints the percentiles in milliseconds, and those of
// the answer alone.
//
//   corvlin-bench-serve-latency PORT COUNT TOKEN
#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <istream>
#include <string>
#include <vector>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// The number after `"key":` in `line`, or -1.
long long numberAfter(const std::string& line, const std::string& key) {
  const std::string wanted = "\"" + key + "\":";
  const auto at = line.find(wanted);
  if (at == std::string::npos) return -1;
  return std::atoll(line.c_str() + at + wanted.size());
}

// Reads events until a drawing of `token` that shows its newest push's state: the first step
// event of the token read names that push's count, and a drawing event of at least that count
// ends the wait. False when the stream ends.
bool awaitDrawingFor(tcp::socket& socket, asio::streambuf& buffer, const std::string& token) {
  const std::string wanted = "{\"token\":\"" + token + "\"";
  long long push = -1;
  for (;;) {
    beast::error_code ec;
    asio::read_until(socket, buffer, "\n\n", ec);
    if (ec) return false;
    std::istream in(&buffer);
    std::string line;
    bool found = false;
    while (std::getline(in, line) && !line.empty()) {
      if (line.rfind("data: ", 0) != 0 || line.find(wanted) != 6) continue;
      if (push < 0) push = numberAfter(line, "push");
      const long long drawn = numberAfter(line, "drawn");
      if (push >= 0 && drawn >= push) found = true;
    }
    if (found) return true;
  }
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: corvlin-bench-serve-latency PORT COUNT TOKEN\n");
    return 64;
  }
  const auto port = static_cast<unsigned short>(std::stoi(argv[1]));
  const int count = std::stoi(argv[2]);
  const std::string token = argv[3];
  const std::string host = "127.0.0.1:" + std::to_string(port);
  asio::io_context io;
  const tcp::endpoint server{asio::ip::make_address("127.0.0.1"), port};

  tcp::socket events(io);
  events.connect(server);
  events.set_option(tcp::no_delay(true));
  const std::string open = "GET /events HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
  asio::write(events, asio::buffer(open));
  asio::streambuf buffer;
  const std::size_t head = asio::read_until(events, buffer, "\r\n\r\n");
  buffer.consume(head);  // the stream's head; its events follow

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
      return 1;
    }
    if (!awaitDrawingFor(events, buffer, token)) {
      std::fprintf(stderr, "the event stream ended after %d pushes\n", i);
      return 1;
    }
    const auto heard = Clock::now();
    toAnswer.push_back(std::chrono::duration<double, std::milli>(answered - sent).count());
    toEvent.push_back(std::chrono::duration<double, std::milli>(heard - sent).count());
  }
  std::printf("pushes %d\n", count);
  std::printf("post-to-drawing p50 %.3f p90 %.3f p99 %.3f max %.3f ms\n", percentile(toEvent, 0.5),
              percentile(toEvent, 0.9), percentile(toEvent, 0.99), percentile(toEvent, 1.0));
  std::printf("post-to-answer p50 %.3f p99 %.3f ms\n", percentile(toAnswer, 0.5),
              percentile(toAnswer, 0.99));
  return 0;
}
