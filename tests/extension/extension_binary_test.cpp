// The extension as a process: over-long lines within a small address space, and a failure to
// allocate, read or write ends it with status 74 and one line on standard error, never a crash,
// a silent stop or a death by SIGPIPE.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "extension/bundle.hpp"
#include "extension/runner.hpp"
#include "host/process/extension_process.hpp"

namespace corvlin {
namespace {

using host::ChildGroup;
using host::ExtensionProcess;

const std::string extension = std::string(CORVLIN_BIN_DIR) + "/corvlin-live-activity-extension";
const std::string small = R"({"contentState":{"title":"small"},"now":1767225510})";
// The address space the extension gets: enough for small requests, far too little for a
// 64 MiB line, and too little to parse and answer a 2 MB one (about 23 MiB at its peak).
constexpr long limitBytes = 24l << 20;

std::string bigRequest() {
  return R"({"contentState":{"title":")" + std::string(2'000'000, 'y') + R"("},"now":1767225510})";
}

std::string readAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

TEST(ExtensionBinary, SurvivesOverlongLinesAndRunningOutOfMemory) {
#ifdef CORVLIN_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
  if (::access("/usr/bin/prlimit", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/prlimit";
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::size_t answers;  // how many come before the end
    int status;           // the exit status
    const char* says;     // its one line on standard error, or nothing
  };
  const Case cases[] = {
      {"a 64 MiB line, then a request", {std::string(64 << 20, 'x'), small}, 2, 0, ""},
      {"running out of memory",
       {small, bigRequest(), small},
       1,
       CorvlinLiveActivityWidgetBundle::exitIoError,
       "corvlin-live-activity-extension: out of memory while answering request line 2 (1 "
       "answered)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    auto process = ExtensionProcess::start(
        {{"/usr/bin/prlimit", "--as=" + std::to_string(limitBytes), "--", extension},
         std::nullopt,
         ::fileno(errors)});
    ASSERT_TRUE(process.ok()) << process.error().message;
    std::string input;
    for (const auto& line : c.lines) input += line + "\n";
    std::vector<std::string> answers;
    host::ExtensionLimits limits;
    limits.timeout = std::chrono::seconds(60);
    const auto exchanged = process.value().exchange(
        input, c.answers, [&](std::string&& a) { answers.push_back(std::move(a)); }, limits, true);
    ASSERT_TRUE(exchanged.ok()) << exchanged.error().message;
    if (c.lines.front().size() > maxRequestLineBytes) {
      EXPECT_NE(answers.front().find("longer than 2097152 bytes"), std::string::npos);
    }
    EXPECT_EQ(answers.back().rfind(R"({"presentations":)", 0), 0u);
    const auto exit = process.value().finish(limits);
    if (c.status == 0) {
      EXPECT_TRUE(exit.ok()) << exit.error().message;
    } else {
      ASSERT_FALSE(exit.ok());
      EXPECT_NE(exit.error().message.find("exited with status " + std::to_string(c.status)),
                std::string::npos)
          << exit.error().message;
    }
    EXPECT_EQ(readAll(errors), c.says);
    std::fclose(errors);
  }
}

TEST(ExtensionBinary, ExitsWith74WhenItCannotWriteAnAnswer) {
  struct Case {
    const char* name;
    bool readerGone;  // else the output is /dev/full
    const char* says;
  };
  const Case cases[] = {
      {"disk full", false, "cannot write an answer: No space left on device (0 answered)"},
      {"reader gone", true, "cannot write an answer: Broken pipe (0 answered)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int request[2];
    ASSERT_EQ(::pipe(request), 0);
    const std::string line = small + "\n";
    ASSERT_EQ(::write(request[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    ::close(request[1]);
    int output = -1;
    if (c.readerGone) {
      int answer[2];
      ASSERT_EQ(::pipe(answer), 0);
      ::close(answer[0]);
      output = answer[1];
    } else {
      output = ::open("/dev/full", O_WRONLY);
    }
    std::FILE* errors = std::tmpfile();
    auto child =
        ChildGroup::spawn({{extension}, std::nullopt, request[0], output, ::fileno(errors)});
    ::close(request[0]);
    ::close(output);
    ASSERT_TRUE(child.ok()) << child.error();
    const auto exit = child.value().waitUntil(ChildGroup::Clock::now() + std::chrono::seconds(30));
    ASSERT_TRUE(exit.has_value());
    EXPECT_TRUE(WIFEXITED(exit->status) && WEXITSTATUS(exit->status) == 74) << exit->describe();
    EXPECT_EQ(readAll(errors), std::string("corvlin-live-activity-extension: ") + c.says + "\n");
    std::fclose(errors);
  }
}

}  // namespace
}  // namespace corvlin
