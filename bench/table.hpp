// The one table that `make bench` prints: rows and the formatting of their figures.
#pragma once

#include <cstdio>
#include <string>

namespace corvlin::bench {

// One measurement beside its floor. Empty cells print as "–".
struct Row {
  std::string area;
  std::string measurement;
  std::string result;
  std::string floor;
  std::string ratio;
  std::string target;
  std::string verdict;  // "met", "missed", or empty where there is no target
};

// Markdown: the header is printed once, by the first program of the run.
void printHeader(std::FILE* out);
void printRow(std::FILE* out, const Row& row);

std::string formatNanoseconds(double ns);  // "812 ns", "8.12 µs", "1.23 ms"
std::string formatBytes(double bytes);     // "283 B", "3.98 KiB", "3.50 MiB"
std::string formatRatio(double ratio);     // "1.42x"
std::string formatCount(double count);     // "100,000"
std::string verdict(bool met);

}  // namespace corvlin::bench
