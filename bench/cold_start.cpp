// corvlin-bench-cold-start: starts a program, sends one request line, reads the answer, closes
// its input and waits for it to exit, many times; the extension and the trivial floor program
// take turns. Prints the table's cold-start rows: median wall time and peak resident memory.
//
//   corvlin-bench-cold-start [--runs N] EXTENSION TRIVIAL [REQUEST_FILE]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bench/process_figures.hpp"
#include "bench/table.hpp"
#include "host/process/extension_process.hpp"

namespace corvlin::bench {

namespace {

struct Sample {
  double wallNs = 0;
  long peakKiB = 0;
};

// One start-answer-exit cycle; nothing when the program misbehaves.
std::optional<Sample> coldRun(const char* path, const std::string& request, bool echoes) {
  Sample sample;
  // Started as the host starts the extension, with an empty environment and no standard error.
  const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const double start = monotonicNs();
  auto child = host::ExtensionProcess::start({{path}, std::vector<std::string>{}, devNull});
  if (devNull >= 0) ::close(devNull);
  if (!child) return std::nullopt;
  const auto answer = child.value().ask(request);
  const auto exit = child.value().finish();
  sample.wallNs = monotonicNs() - start;
  if (!answer || !exit) return std::nullopt;
  sample.peakKiB = exit.value().peakResidentKiB;
  const bool expected = echoes ? *answer == request : answer->starts_with("{\"presentations\":");
  if (!expected) return std::nullopt;
  return sample;
}

template <class T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string readWhole(const char* path) {
  std::string bytes;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return bytes;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
  return bytes;
}

int usage() {
  std::fputs("usage: corvlin-bench-cold-start [--runs N] EXTENSION TRIVIAL [REQUEST_FILE]\n",
             stderr);
  return 64;
}

}  // namespace

int run(int argc, char** argv) {
  int runs = 300;
  std::vector<const char*> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else {
      paths.push_back(argv[i]);
    }
  }
  if (runs < 1 || paths.size() < 2 || paths.size() > 3) return usage();
  const std::string requestPath =
      paths.size() == 3 ? paths[2] : std::string(CORVLIN_BENCH_SAMPLES) + "/default-activity.json";
  const std::string request = readWhole(requestPath.c_str());
  if (request.empty()) {
    std::fprintf(stderr, "cannot read %s\n", requestPath.c_str());
    return 66;
  }

  std::vector<double> extensionNs, trivialNs;
  std::vector<long> extensionKiB, trivialKiB;
  constexpr int warmUp = 20;  // page cache and CPU frequency settle; not counted
  for (int i = 0; i < warmUp + runs; ++i) {
    const auto extension = coldRun(paths[0], request, false);
    const auto trivial = coldRun(paths[1], request, true);
    if (!extension || !trivial) {
      std::fprintf(stderr, "%s misbehaved on a cold run\n", extension ? paths[1] : paths[0]);
      return 69;
    }
    if (i < warmUp) continue;
    extensionNs.push_back(extension->wallNs);
    trivialNs.push_back(trivial->wallNs);
    extensionKiB.push_back(extension->peakKiB);
    trivialKiB.push_back(trivial->peakKiB);
  }

  // A child's peak counts its parent's resident size at the fork; this harness must stay
  // below what it measures for the figures to be the children's own.
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  if (self.ru_maxrss >= *std::min_element(trivialKiB.begin(), trivialKiB.end())) {
    std::fprintf(stderr, "warning: the harness (%ld KiB) is as large as the floor program\n",
                 self.ru_maxrss);
  }

  const double wall = median(extensionNs);
  const double wallFloor = median(trivialNs);
  const double peak = static_cast<double>(median(extensionKiB)) * 1024;
  const double peakFloor = static_cast<double>(median(trivialKiB)) * 1024;
  const std::string of = " (median of " + formatCount(runs) + ")";
  printRow(stdout,
           Row{"cold start", "start, answer one request, exit: wall time" + of,
               formatNanoseconds(wall), formatNanoseconds(wallFloor) + " (trivial C++ program)",
               formatRatio(wall / wallFloor), "≤ 1.25x", verdict(wall / wallFloor <= 1.25)});
  printRow(stdout,
           Row{"cold start", "peak resident memory" + of, formatBytes(peak),
               formatBytes(peakFloor) + " (trivial C++ program)", formatRatio(peak / peakFloor),
               "≤ 1.25x", verdict(peak / peakFloor <= 1.25)});
  return 0;
}

}  // namespace corvlin::bench

int main(int argc, char** argv) { return corvlin::bench::run(argc, argv); }
