// A stand-in extension that misbehaves on purpose, chosen by CORVLIN_FAULT, for the host's tests.
// With CORVLIN_FAULT=by-title the request itself chooses (warm-by-title: each of many requests): a
// content state titled "crash" or "hang" does that, any other gets a small valid answer, so one
// page can mix failures and successes. Some modes carry a number: answer-then-exit-N answers, then
// exits with status N; answer-bytes-N answers one line of N bytes; leave-child starts a process
// that holds the output open and sleeps, then exits without answering; leave-child-and-hang does
// the same and hangs; signals answers its blocked and ignored signal sets as /proc/self/status
// shows them; hang-at-start hangs before reading anything, so no end of its input ends it.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "stand_in_answer.hpp"

namespace {

const char* const validAnswer = corvlin::test::standInAnswer;

// Well-formed JSON whose view description is not: the second child of the third expanded
// region's stack is a number.
const char* const malformedViewAnswer =
    R"({"presentations":{"lockScreen":{"type":"EmptyView","modifiers":[]},)"
    R"("dynamicIsland":{"expanded":[)"
    R"({"position":"leading","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"trailing","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"bottom","priority":0,"content":{"type":"HStack","alignment":"center",)"
    R"("spacing":0,"children":[{"type":"EmptyView","modifiers":[]},7],"modifiers":[]}}],)"
    R"("compactLeading":{"type":"EmptyView","modifiers":[]},)"
    R"("compactTrailing":{"type":"EmptyView","modifiers":[]},)"
    R"("minimal":{"type":"EmptyView","modifiers":[]}}}})";

std::string faultNamedIn(const std::string& request) {
  for (const char* fault : {"crash", "hang"}) {
    if (request.find(std::string(R"("title":")") + fault + '"') != std::string::npos) return fault;
  }
  return "answer";
}

// The number after `prefix` in `mode`, or -1 when `mode` does not start with it.
long numberAfter(const std::string& mode, const std::string& prefix) {
  if (mode.rfind(prefix, 0) != 0) return -1;
  return std::strtol(mode.c_str() + prefix.size(), nullptr, 10);
}

void startSleepingChild() {
  if (fork() == 0) {
    std::this_thread::sleep_for(std::chrono::hours(1));
    _exit(0);
  }
}

}  // namespace

int main() {
  const char* fault = std::getenv("CORVLIN_FAULT");
  std::string mode = fault ? fault : "";
  std::string line;
  if (mode == "exit-at-start") return 3;
  if (mode == "hang-at-start") std::this_thread::sleep_for(std::chrono::hours(1));
  // by-title for every line, as the real extension serves one request after another.
  if (mode == "by-title-each") {
    while (std::getline(std::cin, line)) {
      if (faultNamedIn(line) == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
      }
      std::cout << validAnswer << "\n" << std::flush;
    }
    return 0;
  }
  if (!std::getline(std::cin, line)) return 0;
  if (mode == "warm-by-title") {
    // A warm process: every request chooses by its title, as with by-title, until one crashes.
    do {
      const std::string chosen = faultNamedIn(line);
      if (chosen == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
      }
      if (chosen == "hang") std::this_thread::sleep_for(std::chrono::hours(1));
      std::cout << validAnswer << "\n" << std::flush;
    } while (std::getline(std::cin, line));
    return 0;
  }
  if (mode == "by-title") mode = faultNamedIn(line);
  if (mode == "crash") {
    // A real crash: a sanitizer's own handler would turn it into a report and an exit.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
  }
  if (mode == "exit-early") return 2;
  if (mode == "leave-child" || mode == "leave-child-and-hang") startSleepingChild();
  if (mode == "leave-child") return 0;
  if (mode == "leave-child-and-hang") std::this_thread::sleep_for(std::chrono::hours(1));
  if (const long status = numberAfter(mode, "answer-then-exit-"); status >= 0) {
    std::cout << validAnswer << "\n" << std::flush;
    return static_cast<int>(status);
  }
  if (mode == "answer-then-crash") {
    std::cout << validAnswer << "\n" << std::flush;
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  }
  if (const long bytes = numberAfter(mode, "answer-bytes-"); bytes >= 0) {
    std::cout << std::string(static_cast<std::size_t>(bytes), 'x') << "\n" << std::flush;
  }
  if (mode == "hang") std::this_thread::sleep_for(std::chrono::hours(1));
  if (mode == "signals") {
    std::ifstream status("/proc/self/status");
    std::string answer;
    for (std::string field; std::getline(status, field);) {
      if (field.rfind("SigBlk:", 0) == 0 || field.rfind("SigIgn:", 0) == 0) {
        answer += (answer.empty() ? "" : " ") + field;
      }
    }
    std::cout << answer << "\n" << std::flush;
  }
  if (mode == "answer") std::cout << validAnswer << "\n" << std::flush;
  if (mode == "malformed-view") std::cout << malformedViewAnswer << "\n" << std::flush;
  if (mode == "garbage") std::cout << "this is not JSON\n" << std::flush;
  if (mode == "no-newline") std::cout << "{\"presentations\":" << std::flush;
  if (mode == "wrong-shape") std::cout << "{\"something\":1}\n" << std::flush;
  if (mode == "huge") {
    const std::string chunk(1 << 16, 'x');
    for (int i = 0; i < 200; ++i) std::cout << chunk;
    std::cout << "\n" << std::flush;
  }
  if (mode == "answer-then-hang") {
    std::cout
        << "{\"error\":{\"kind\":\"dataCorrupted\",\"codingPath\":[],\"description\":\"x\"}}\n"
        << std::flush;
    std::this_thread::sleep_for(std::chrono::hours(1));
  }
  // Wait for the end of input like the real extension, so the host's reaping is exercised.
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
