// The extension as a child process: each way it can fail is named, and no process is ever left
// behind, running or as a zombie, whatever it did or started.
#include "host/process/extension_process.hpp"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "host/host_test_support.hpp"

namespace corvlin::host {
namespace {

using Kind = ExtensionFailure::Kind;
using namespace std::chrono_literals;

// True when this process has no child at all: none running and none waiting to be reaped.
bool noChildLeft() {
  errno = 0;
  return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// How many processes of group `group` are alive (zombies, which init reaps, do not count).
int liveMembersOf(pid_t group) {
  int count = 0;
  DIR* proc = ::opendir("/proc");
  while (dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    std::string text;
    try {
      std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
      text.assign(std::istreambuf_iterator<char>(stat), {});
    } catch (const std::ios_base::failure&) {
      continue;  // it ended between the listing and the read (ESRCH): no live member
    }
    const auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(text.substr(close + 2));
    char state = 0;
    long parent = 0, processGroup = 0;
    fields >> state >> parent >> processGroup;
    if (processGroup == group && state != 'Z' && state != 'X') ++count;
  }
  ::closedir(proc);
  return count;
}

// Waits up to two seconds for the group to have no live member.
bool groupEnds(pid_t group) {
  for (int i = 0; i < 1000 && liveMembersOf(group) > 0; ++i) std::this_thread::sleep_for(10ms);
  return liveMembersOf(group) == 0;
}

Result<std::vector<std::string>, ExtensionFailure> askFaulty(const char* fault,
                                                             const ExtensionLimits& limits,
                                                             std::string request = "{}") {
  ::setenv("CORVLIN_FAULT", fault, 1);
  auto answers = exchangeWithExtension(test::binPath("faulty-extension"), {request}, limits);
  ::unsetenv("CORVLIN_FAULT");
  return answers;
}

TEST(ExtensionProcess, NamesEachFailureAndReapsTheChild) {
  struct Case {
    const char* fault;
    Kind kind;
    const char* says;
  };
  const Case cases[] = {
      {"crash", Kind::crashed, "crashed: it was killed by signal 11"},
      {"exit-early", Kind::exitedEarly, "exited with status 2 after 0 of 1 answers"},
      {"exit-at-start", Kind::exitedEarly, "exited with status 3 after 0 of 1 answers"},
      {"no-newline", Kind::exitedEarly, "not a complete line"},
      {"hang", Kind::timedOut, "gave no answer within 1000 ms"},
      {"answer-then-hang", Kind::timedOut, "answered but did not exit"},
      {"huge", Kind::answerTooLarge, "larger than 1048576 bytes"},
      {"answer-then-exit-1", Kind::exitedEarly, "answered but then exited with status 1"},
      {"answer-then-exit-23", Kind::exitedEarly, "answered but then exited with status 23"},
      {"answer-then-crash", Kind::crashed, "answered but then was killed by signal 6"},
      {"leave-child", Kind::exitedEarly, "exited with status 0 after 0 of 1 answers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ExtensionLimits limits;
    // Short only where the timeout is the point: a loaded machine or a sanitizer build can
    // take longer than that to start the stand-in.
    limits.timeout = c.kind == Kind::timedOut ? 1000ms : 20000ms;
    limits.maxAnswerBytes = 1 << 20;
    const auto answers = askFaulty(c.fault, limits);
    ASSERT_FALSE(answers.ok());
    EXPECT_EQ(answers.error().kind, c.kind) << answers.error().message;
    EXPECT_NE(answers.error().message.find(c.says), std::string::npos) << answers.error().message;
    EXPECT_TRUE(noChildLeft());
  }
}

TEST(ExtensionProcess, AWriteToAnExtensionThatHasGoneIsItsFailure) {
  // The extension exits without reading a request larger than any socket buffer; the write
  // that follows must not end this process with SIGPIPE, whatever its disposition here.
  const std::string request(1 << 20, ' ');
  for (int i = 0; i < 20; ++i) {
    const auto answers = askFaulty("exit-at-start", {}, request);
    ASSERT_FALSE(answers.ok());
    EXPECT_EQ(answers.error().kind, Kind::exitedEarly) << answers.error().message;
  }
  EXPECT_TRUE(noChildLeft());
}

TEST(ExtensionProcess, PinsTheDefaultLimitsAndTheAnswerBound) {
  const ExtensionLimits defaults;
  EXPECT_EQ(defaults.timeout, 10000ms);
  EXPECT_EQ(defaults.maxAnswerBytes, 8u * 1024 * 1024);

  ExtensionLimits limits;
  limits.maxAnswerBytes = 1000;
  const auto atTheBound = askFaulty("answer-bytes-1000", limits);
  ASSERT_TRUE(atTheBound.ok()) << atTheBound.error().message;
  EXPECT_EQ(atTheBound.value().front(), std::string(1000, 'x'));
  const auto overIt = askFaulty("answer-bytes-1001", limits);
  ASSERT_FALSE(overIt.ok());
  EXPECT_EQ(overIt.error().kind, Kind::answerTooLarge);
  EXPECT_TRUE(noChildLeft());
}

TEST(ExtensionProcess, EndsTheWholeGroupWithoutWaitingForItsOutputToClose) {
  // The extension exits and leaves a process behind that holds its output open: the verdict
  // comes at the exit, not at the timeout, and the process left behind is ended too.
  ::setenv("CORVLIN_FAULT", "leave-child", 1);
  auto process = ExtensionProcess::start(test::binPath("faulty-extension"));
  ::unsetenv("CORVLIN_FAULT");
  ASSERT_TRUE(process.ok()) << process.error().message;
  const pid_t group = process.value().pid();
  ExtensionLimits limits;
  limits.timeout = 20s;
  const auto started = std::chrono::steady_clock::now();
  const auto answer = process.value().ask("{}", limits);
  ASSERT_FALSE(answer.ok());
  EXPECT_EQ(answer.error().kind, Kind::exitedEarly) << answer.error().message;
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_FALSE(process.value().running());
  EXPECT_TRUE(groupEnds(group));
  EXPECT_TRUE(noChildLeft());
}

TEST(ExtensionProcess, StartsWithDefaultSignalDispositionsAndAnEmptyMask) {
  // Whatever this process ignores or blocks, the child starts clean.
  const auto previous = ::signal(SIGPIPE, SIG_IGN);
  sigset_t blocked, saved;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &saved);
  const auto answers = askFaulty("signals", {});
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  ::signal(SIGPIPE, previous);
  ASSERT_TRUE(answers.ok()) << answers.error().message;
  unsigned long long blockedSet = 0, ignoredSet = 0;
  ASSERT_EQ(std::sscanf(answers.value().front().c_str(), "SigBlk: %llx SigIgn: %llx", &blockedSet,
                        &ignoredSet),
            2)
      << answers.value().front();
  EXPECT_EQ(blockedSet, 0u);
  // The C library keeps signals 32 and 33 for itself: a program can neither set nor reset them.
  EXPECT_EQ(ignoredSet & ~(3ull << 31), 0u) << answers.value().front();
}

TEST(ExtensionProcess, AWarmProcessAnswersRequestsOneAfterAnother) {
  auto process = ExtensionProcess::start(test::binPath("corvlin-live-activity-extension"));
  ASSERT_TRUE(process.ok()) << process.error().message;
  const pid_t pid = process.value().pid();
  const char* requests[] = {R"({"contentState":{"title":"a"},"now":1767225510})", "not json",
                            R"({"contentState":{"title":"b"},"now":1767225510})"};
  const char* starts[] = {R"({"presentations":)", R"({"error":)", R"({"presentations":)"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(requests[i]);
    const auto answer = process.value().ask(requests[i]);
    ASSERT_TRUE(answer.ok()) << answer.error().message;
    EXPECT_EQ(answer.value().rfind(starts[i], 0), 0u);
    EXPECT_TRUE(process.value().running());
    EXPECT_EQ(process.value().pid(), pid);
  }
  ExtensionProcess moved = std::move(process).value();
  const auto exit = moved.finish();
  ASSERT_TRUE(exit.ok()) << exit.error().message;
  EXPECT_FALSE(moved.running());
  EXPECT_FALSE(moved.ask(requests[0]).ok());
  EXPECT_TRUE(noChildLeft());
}

TEST(ExtensionProcess, ADeadProcessSaysSoAndIsReaped) {
  ::setenv("CORVLIN_FAULT", "crash", 1);
  auto process = ExtensionProcess::start(test::binPath("faulty-extension"));
  ::unsetenv("CORVLIN_FAULT");
  ASSERT_TRUE(process.ok());
  const auto first = process.value().ask("{}");
  ASSERT_FALSE(first.ok());
  EXPECT_EQ(first.error().kind, Kind::crashed);
  EXPECT_FALSE(process.value().running());
  EXPECT_TRUE(noChildLeft());
  const auto again = process.value().ask("{}");
  ASSERT_FALSE(again.ok());
  EXPECT_NE(again.error().message.find("no longer running"), std::string::npos);
}

TEST(ExtensionProcess, AMissingExtensionCannotStart) {
  const auto missing = exchangeWithExtension("/nonexistent/extension", {"{}"});
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().kind, Kind::cannotStart);
  EXPECT_TRUE(noChildLeft());
}

// corvlin-host render with the stand-in extension doing `fault`, and a timeout far away.
Result<ChildGroup, std::string> renderWith(const std::string& fault) {
  SpawnOptions options;
  options.arguments = {test::binPath("corvlin-host"),     "render",    "--extension",
                       test::binPath("faulty-extension"), "--timeout", "60000"};
  options.environment.emplace();
  for (char** e = environ; *e; ++e) options.environment->emplace_back(*e);
  options.environment->push_back("CORVLIN_FAULT=" + fault);
  return ChildGroup::spawn(options);
}

// The extension's group: the one other group whose leader's parent is the host; -1 when the
// host has started none within five seconds.
pid_t extensionGroupOf(pid_t host) {
  for (int i = 0; i < 500; ++i) {
    std::this_thread::sleep_for(10ms);
    pid_t child = -1;
    try {
      std::ifstream children("/proc/" + std::to_string(host) + "/task/" + std::to_string(host) +
                             "/children");
      children >> child;
    } catch (const std::ios_base::failure&) {
      return -1;  // the host has ended
    }
    // Until it has its own group, the child is still in the host's.
    if (child > 0 && ::getpgid(child) != host) return ::getpgid(child);
  }
  return -1;
}

// A host rendering with a faulty extension, and the extension's group, which is killed when
// this goes, should a check fail, so that it never outlives the test.
struct HostAndGroup {
  ChildGroup host;
  pid_t group = -1;
  ~HostAndGroup() {
    if (group > 0) ::kill(-group, SIGKILL);
  }
};

std::unique_ptr<HostAndGroup> hostWith(const char* fault) {
  auto host = renderWith(fault);
  if (!host.ok()) throw std::runtime_error(host.error());
  auto started = std::unique_ptr<HostAndGroup>(new HostAndGroup{std::move(host).value()});
  started->group = extensionGroupOf(started->host.pid());
  return started;
}

TEST(ExtensionProcess, TheHostEndsEveryExtensionGroupWhenItIsStopped) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const auto started = hostWith("leave-child-and-hang");
    const pid_t group = started->group;
    ASSERT_GT(group, 0);
    // Both the extension and the process it started are up.
    for (int i = 0; i < 1000 && liveMembersOf(group) < 2; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(liveMembersOf(group), 2);
    ::kill(started->host.pid(), signal);
    const auto exit = started->host.waitUntil(std::chrono::steady_clock::now() + 10s);
    ASSERT_TRUE(exit.has_value());
    EXPECT_TRUE(WIFSIGNALED(exit->status) && WTERMSIG(exit->status) == signal) << exit->describe();
    EXPECT_TRUE(groupEnds(group));
  }
}

TEST(ExtensionProcess, NoExtensionOutlivesAHostKilledWithSIGKILL) {
  // SIGKILL leaves the host no chance to end anything: the kernel ends the extension. This one
  // reads nothing, so the end of its input cannot end it instead.
  const auto started = hostWith("hang-at-start");
  ASSERT_GT(started->group, 0);
  ASSERT_EQ(liveMembersOf(started->group), 1);
  ::kill(started->host.pid(), SIGKILL);
  const auto exit = started->host.waitUntil(std::chrono::steady_clock::now() + 10s);
  ASSERT_TRUE(exit.has_value());
  EXPECT_TRUE(groupEnds(started->group));
}

}  // namespace
}  // namespace corvlin::host
