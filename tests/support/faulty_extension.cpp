// A stand-in extension that misbehaves on purpose, chosen by CORVLIN_FAULT, for the host's tests.
// With CORVLIN_FAULT=by-title the request itself chooses: a content state titled "crash" or
// "hang" does that, any other gets a small valid answer, so one page can mix failures and
// successes.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace {

// Seven presentations: the lock screen says "stand-in", the other six are empty.
const char* const validAnswer =
    R"({"presentations":{"lockScreen":{"type":"Text","text":"stand-in","modifiers":[]},)"
    R"("dynamicIsland":{"expanded":[)"
    R"({"position":"leading","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"trailing","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"bottom","priority":0,"content":{"type":"EmptyView","modifiers":[]}}],)"
    R"("compactLeading":{"type":"EmptyView","modifiers":[]},)"
    R"("compactTrailing":{"type":"EmptyView","modifiers":[]},)"
    R"("minimal":{"type":"EmptyView","modifiers":[]}}}})";

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

}  // namespace

int main() {
  const char* fault = std::getenv("CORVLIN_FAULT");
  std::string mode = fault ? fault : "";
  std::string line;
  if (mode == "exit-at-start") return 3;
  if (!std::getline(std::cin, line)) return 0;
  if (mode == "by-title") mode = faultNamedIn(line);
  if (mode == "crash") {
    // A real crash: a sanitizer's own handler would turn it into a report and an exit.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
  }
  if (mode == "exit-early") return 2;
  if (mode == "hang") std::this_thread::sleep_for(std::chrono::hours(1));
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
