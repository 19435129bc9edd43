#include "serve_test_support.hpp"

#include <fcntl.h>
#include <signal.h>
#include <simdjson.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace corvlin::test {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

std::string binPath(const std::string& name) { return std::string(CORVLIN_BIN_DIR) + "/" + name; }

std::string member(const std::string& json, std::initializer_list<const char*> path) {
  simdjson::dom::parser parser;
  simdjson::dom::element at;
  if (parser.parse(json).get(at) != simdjson::SUCCESS) return "<not JSON>";
  for (const char* key : path) {
    if (at[key].get(at) != simdjson::SUCCESS) return "";
  }
  std::string_view text;
  if (at.get(text) == simdjson::SUCCESS) return std::string(text);
  return simdjson::minify(at);
}

ServeProcess::ServeProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& env, const std::string& errorFile) {
  // Whatever ends this process short of a kill: every server still running ends with it.
  static const bool endAtExit = std::atexit(host::endEveryChildGroup) == 0;
  (void)endAtExit;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  host::SpawnOptions options;
  options.arguments = {binPath("corvlin-host"), "serve", "--port", "0"};
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.environment = env;
  for (char** e = environ; *e != nullptr; ++e) options.environment->emplace_back(*e);
  options.output = out[1];
  int error = -1;
  if (!errorFile.empty()) {
    error = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (error < 0) {
      ::close(out[0]);
      ::close(out[1]);
      throw std::runtime_error("cannot open " + errorFile);
    }
    options.error = error;
  }
  // A group of its own, killed with this process should it die (a timeout's SIGKILL) and
  // ended with it on SIGINT, SIGTERM or SIGHUP.
  auto child = host::ChildGroup::spawn(options);
  if (error >= 0) ::close(error);
  ::close(out[1]);
  if (!child) {
    ::close(out[0]);
    throw std::runtime_error("cannot start corvlin-host: " + child.error());
  }
  child_.emplace(std::move(child).value());
  // The first line says where it serves; the pipe is then left to fill no further than a line.
  char c = 0;
  while (::read(out[0], &c, 1) == 1 && c != '\n') firstLine_ += c;
  ::close(out[0]);
  const auto colon = firstLine_.rfind(':');
  if (colon != std::string::npos)
    port_ = static_cast<std::uint16_t>(std::stoi(firstLine_.substr(colon + 1)));
}

pid_t ServeProcess::pid() const { return child_ ? child_->pid() : -1; }

std::vector<pid_t> ServeProcess::children() const {
  const std::string id = std::to_string(pid());
  std::ifstream in("/proc/" + id + "/task/" + id + "/children");
  std::vector<pid_t> pids;
  pid_t child = 0;
  while (in >> child) pids.push_back(child);
  return pids;
}

int ServeProcess::stop(int signal) {
  if (pid() <= 0) return -1;
  ::kill(pid(), signal);
  // Bounded: a server that does not stop within 10 s is killed and the test sees the signal.
  auto exit = child_->waitUntil(host::ChildGroup::Clock::now() + std::chrono::seconds(10));
  if (!exit) exit = child_->end();
  return exit->status;
}

bool endsWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    // Gone, or a zombie that nothing here can reap: either way no longer running.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos || text.size() < close + 3 || text[close + 2] == 'Z' ||
        text[close + 2] == 'X') {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void boundWaits(tcp::socket& socket, int seconds) {
  timeval tv{seconds, 0};
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

Answer send(std::uint16_t port, const std::string& method, const std::string& target,
            const HeaderList& headers, const std::string& body) {
  asio::io_context io;
  tcp::socket socket(io);
  socket.connect({asio::ip::make_address("127.0.0.1"), port});
  boundWaits(socket, 10);
  http::request<http::string_body> request;
  request.method_string(method);
  request.target(target);
  request.version(11);
  bool hasHost = false;
  for (const auto& [name, value] : headers) {
    request.insert(name, value);
    hasHost = hasHost || beast::iequals(name, "host");
  }
  if (!hasHost) request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
  request.body() = body;
  request.prepare_payload();
  http::write(socket, request);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(64 << 20);
  beast::error_code ec;
  http::read(socket, buffer, parser, ec);
  if (ec) return {};
  Answer answer;
  const auto& response = parser.get();
  answer.status = response.result_int();
  for (const auto& field : response) {
    std::string name(field.name_string());
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    answer.headers[name] = std::string(field.value());
  }
  answer.body = response.body();
  return answer;
}

Answer push(std::uint16_t port, const std::string& token, const std::string& body,
            const HeaderList& extra) {
  HeaderList headers = {{"apns-push-type", "liveactivity"},
                        {"apns-topic", "com.corvlin.app.push-type.liveactivity"}};
  headers.insert(headers.end(), extra.begin(), extra.end());
  return send(port, "POST", "/3/device/" + token, headers, body);
}

EventReader::EventReader(std::uint16_t port, const std::string& lastEventId) : socket_(io_) {
  socket_.connect({asio::ip::make_address("127.0.0.1"), port});
  boundWaits(socket_, 10);
  std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                        "\r\nAccept: text/event-stream\r\n";
  if (!lastEventId.empty()) request += "Last-Event-ID: " + lastEventId + "\r\n";
  request += "\r\n";
  asio::write(socket_, asio::buffer(request));
  beast::error_code ec;
  asio::read_until(socket_, buffer_, "\r\n\r\n", ec);
  if (ec) return;
  std::istream in(&buffer_);
  std::string line;
  while (std::getline(in, line) && line != "\r") {
  }
}

std::string EventReader::nextDrawing() {
  for (std::string event = next(); !event.empty(); event = next()) {
    if (!member(event, {"drawn"}).empty()) return event;
  }
  return {};
}

std::string EventReader::next() {
  for (;;) {
    // Read through the event loop with a deadline: a blocking read that times out on its socket
    // would only wait again, for ever, on a server that holds the connection open and stalls.
    beast::error_code ec = asio::error::timed_out;
    bool done = false;
    asio::async_read_until(socket_, buffer_, "\n\n", [&](beast::error_code e, std::size_t) {
      ec = e;
      done = true;
    });
    io_.restart();
    io_.run_for(std::chrono::seconds(10));
    if (!done) {
      socket_.cancel();
      io_.restart();
      io_.run();
      return {};
    }
    if (ec) return {};
    std::istream in(&buffer_);
    std::string block;
    std::string line;
    while (std::getline(in, line) && !line.empty()) {
      if (line.rfind("data: ", 0) == 0) block += line.substr(6);
    }
    if (!block.empty()) return block;
  }
}

Scratch::Scratch(const std::string& name)
    : root(std::filesystem::temp_directory_path() /
           ("corvlin-" + name + "-" + std::to_string(::getpid()))) {
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
}

Scratch::~Scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

}  // namespace corvlin::test
