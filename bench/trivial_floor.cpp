// The floor of the cold start: a dynamically linked C++ program with the extension's line I/O
// (iostreams, one answer line per request line, flushed) and no other work.
#include <iostream>
#include <string>

int main() {
  std::ios::sync_with_stdio(false);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::cout << line << '\n';
    std::cout.flush();
  }
  return 0;
}
