// corvlin-host serve ending: cleanly on a signal, and with no extension left behind when it, or
// the test that started it, is killed outright.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <simdjson.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "serve_test_support.hpp"

namespace corvlin::test {
namespace {

std::string update(double timestamp, const std::string& title) {
  return R"({"aps":{"event":"update","timestamp":)" + std::to_string(timestamp) +
         R"(,"content-state":{"title":")" + title + R"("}}})";
}

TEST(Serve, ShutsDownCleanlyWithNoChildLeft) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    ServeProcess serve({});
    EventReader events(serve.port());
    for (const char* token : {"01", "02", "03"}) {
      ASSERT_EQ(push(serve.port(), token, update(1767225510, "A")).status, 200u);
      EXPECT_EQ(member(events.nextDrawing(), {"token"}), token);
    }
    const std::vector<pid_t> children = serve.children();
    const int status = serve.stop(signal);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(events.next().empty()) << "the event stream is closed";
    for (pid_t child : children) {
      EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(child))) << child;
    }
  }
}

// Sends a push on `client` and leaves it open, its answer unread; the server then starts an
// extension that hangs before reading anything, so that no end of its input ends it. The
// extension's id, or -1 when none has started within ten seconds.
pid_t startHangingExtension(ServeProcess& serve, boost::asio::ip::tcp::socket& client) {
  client.connect({boost::asio::ip::make_address("127.0.0.1"), serve.port()});
  boundWaits(client, 10);
  const std::string body = update(1767225510, "A");
  const std::string request =
      "POST /3/device/0a HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(serve.port()) +
      "\r\napns-push-type: liveactivity\r\n"
      "apns-topic: com.corvlin.app.push-type.liveactivity\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n" + body;
  boost::asio::write(client, boost::asio::buffer(request));
  for (int i = 0; i < 1000; ++i) {
    const std::vector<pid_t> children = serve.children();
    if (children.size() == 1) return children[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

TEST(Serve, NoExtensionOutlivesAServerKilledWithSIGKILL) {
  ServeProcess serve({"--extension", binPath("faulty-extension")}, {"CORVLIN_FAULT=hang-at-start"});
  boost::asio::io_context io;
  boost::asio::ip::tcp::socket client(io);
  const pid_t extension = startHangingExtension(serve, client);
  ASSERT_GT(extension, 0);
  const int status = serve.stop(SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  EXPECT_TRUE(endsWithin(extension, std::chrono::seconds(10)));
  if (!endsWithin(extension, {})) ::kill(-extension, SIGKILL);
}

TEST(Serve, NoServerNorExtensionOutlivesATestKilledWithSIGKILL) {
  // A stand-in for a test process that a timeout kills: it starts a server, has it start its
  // extension, says both ids and waits to be killed.
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t test = ::fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    ::close(report[0]);
    try {
      ServeProcess serve({"--extension", binPath("faulty-extension")},
                         {"CORVLIN_FAULT=hang-at-start"});
      boost::asio::io_context io;
      boost::asio::ip::tcp::socket client(io);
      const pid_t ids[] = {serve.pid(), startHangingExtension(serve, client)};
      if (::write(report[1], ids, sizeof ids) == sizeof ids) ::pause();
    } catch (...) {
    }
    ::_exit(1);
  }
  ::close(report[1]);
  pid_t ids[] = {-1, -1};
  pollfd reported{report[0], POLLIN, 0};
  if (::poll(&reported, 1, 20000) == 1) {
    EXPECT_EQ(::read(report[0], ids, sizeof ids), static_cast<ssize_t>(sizeof ids));
  }
  ::close(report[0]);
  ::kill(test, SIGKILL);
  ::waitpid(test, nullptr, 0);
  for (pid_t id : ids) {
    if (id <= 0) {
      ADD_FAILURE() << "the server or its extension did not start";
      continue;
    }
    EXPECT_TRUE(endsWithin(id, std::chrono::seconds(10))) << id;
    if (!endsWithin(id, {})) ::kill(-id, SIGKILL);
  }
}

}  // namespace
}  // namespace corvlin::test
