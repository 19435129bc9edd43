// A stand-in extension that misbehaves on purpose, chosen by CORVLIN_FAULT, for the host's tests.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

int main() {
  const char* fault = std::getenv("CORVLIN_FAULT");
  const std::string mode = fault ? fault : "";
  std::string line;
  if (mode == "exit-at-start") return 3;
  if (!std::getline(std::cin, line)) return 0;
  if (mode == "crash") std::raise(SIGSEGV);
  if (mode == "exit-early") return 2;
  if (mode == "hang") std::this_thread::sleep_for(std::chrono::hours(1));
  if (mode == "garbage") std::cout << "this is not JSON\n" << std::flush;
  if (mode == "no-newline") std::cout << "{\"presentations\":" << std::flush;
  if (mode == "wrong-shape") std::cout << "{\"something\":1}\n" << std::flush;
  if (mode == "huge") {
    const std::string chunk(1 << 16, 'x');
    for (int i = 0; i < 200; ++i) std::cout << chunk;
    std::cout << "\n" << std::flush;
  }
  if (mode == "answer-then-hang") {
    std::cout << "{\"error\":{\"kind\":\"dataCorrupted\",\"codingPath\":[],\"description\":\"x\"}}\n"
              << std::flush;
    std::this_thread::sleep_for(std::chrono::hours(1));
  }
  // Wait for the end of input like the real extension, so the host's reaping is exercised.
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
