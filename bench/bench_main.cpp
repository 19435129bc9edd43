// corvlin-bench: runs the benchmark families and prints their rows of the table, each
// measurement beside its floor. The usual console report goes to standard error.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/before_after.hpp"
#include "bench/benchmarks.hpp"
#include "bench/table.hpp"

namespace corvlin::bench {

namespace {

struct Measured {
  // CPU time per iteration, the median over repetitions when there are some: on a shared
  // machine it moves less than wall time, which also counts the time the thread waits its turn.
  double ns = 0;
  std::map<std::string, double> counters;
  std::string error;
};

// Keeps, per benchmark, the median aggregate (or the one run when there are no repetitions).
class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Measured> results;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      Measured& measured = results[name];
      if (run.error_occurred) {
        measured.error = run.error_message;
        continue;
      }
      if (!median && seenMedian_.count(name) != 0) continue;
      if (median) seenMedian_[name] = true;
      measured.ns = run.GetAdjustedCPUTime() * nanosecondsPer(run.time_unit);
      for (const auto& [key, counter] : run.counters) measured.counters[key] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  static double nanosecondsPer(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1;
      case benchmark::kMicrosecond:
        return 1e3;
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kSecond:
        return 1e9;
    }
    return 1;
  }

  std::map<std::string, bool> seenMedian_;
};

Row started(const std::string& area, const std::string& measurement) {
  Row row;
  row.area = area;
  row.measurement = measurement;
  return row;
}

class Table {
 public:
  explicit Table(const std::map<std::string, Measured>& results) : results_(results) {}

  // A measurement beside its floor; `limit` is the largest ratio that meets the target
  // (0: no target).
  void ratioRow(const std::string& area, const std::string& measurement, const std::string& name,
                const std::string& floorName, const std::string& floorLabel, double limit) {
    const Measured* m = find(name);
    const Measured* f = find(floorName);
    Row row = started(area, measurement);
    if (m == nullptr || f == nullptr) return failed(row, name, floorName);
    row.result = formatNanoseconds(m->ns);
    row.floor = formatNanoseconds(f->ns) + " (" + floorLabel + ")";
    const double ratio = m->ns / f->ns;
    row.ratio = formatRatio(ratio);
    if (limit > 0) {
      row.target = "≤ " + formatRatio(limit);
      row.verdict = verdict(ratio <= limit);
    }
    printRow(stdout, row);
  }

  // The full update: its ratio to a bare parse of the request, with the answer's size.
  void updateRow(const std::string& measurement, const std::string& name,
                 const std::string& floorName, const std::string& floorLabel, double limit) {
    const Measured* m = find(name);
    const Measured* f = find(floorName);
    Row row = started("presentations", measurement);
    if (m == nullptr || f == nullptr) return failed(row, name, floorName);
    row.result = formatNanoseconds(m->ns) + ", " + formatBytes(m->counters.at("answerBytes")) +
                 " per answer";
    row.floor = formatNanoseconds(f->ns) + " (" + floorLabel + ")";
    const double ratio = m->ns / f->ns;
    row.ratio = formatRatio(ratio);
    row.target = "≤ " + formatRatio(limit);
    row.verdict = verdict(ratio <= limit);
    printRow(stdout, row);
  }

  void plainRow(const std::string& area, const std::string& measurement, const std::string& name) {
    const Measured* m = find(name);
    Row row = started(area, measurement);
    if (m == nullptr) return failed(row, name, name);
    row.result = formatNanoseconds(m->ns);
    printRow(stdout, row);
  }

  // Cost per unit (byte, action) at the largest input against a reference input: a ratio near
  // one or below is linear growth (fixed costs make small inputs dearer per unit).
  void growthRow(const std::string& measurement, const std::string& family, std::int64_t reference,
                 std::int64_t largest, const std::string& unit, const std::string& per) {
    const std::string largeName = family + "/" + std::to_string(largest);
    const std::string referenceName = family + "/" + std::to_string(reference);
    const Measured* big = find(largeName);
    const Measured* small = find(referenceName);
    Row row = started("growth", measurement);
    if (big == nullptr || small == nullptr) return failed(row, largeName, referenceName);
    const double bigPerUnit = big->ns / big->counters.at(per);
    const double smallPerUnit = small->ns / small->counters.at(per);
    row.result = perUnit(bigPerUnit, unit) + " at " + formatCount(big->counters.at("units"));
    row.floor = perUnit(smallPerUnit, unit) + " at " + formatCount(small->counters.at("units"));
    const double ratio = bigPerUnit / smallPerUnit;
    row.ratio = formatRatio(ratio);
    row.target = "≤ 1.50x (linear)";
    row.verdict = verdict(ratio <= 1.5);
    printRow(stdout, row);
  }

  // Buttons built for every list, and the answer for the longest list against the one for
  // `reference` actions: the buttons stay at three, so the answer keeps its size.
  void buttonRows(const std::string& family, const std::vector<std::int64_t>& counts,
                  std::int64_t reference) {
    double most = 0;
    std::string missing;
    for (auto count : counts) {
      const std::string name = family + "/" + std::to_string(count);
      const Measured* m = find(name);
      if (m == nullptr) {
        missing = name;
        continue;
      }
      most = std::max(most, m->counters.at("buttons"));
    }
    Row buttons =
        started("growth", "buttons built per action row, 1 to " +
                              formatCount(static_cast<double>(counts.back())) + " actions");
    if (!missing.empty()) return failed(buttons, missing, missing);
    buttons.result = "at most " + formatCount(most);
    buttons.target = "≤ 3";
    buttons.verdict = verdict(most <= 3);
    printRow(stdout, buttons);

    const Measured* big = find(family + "/" + std::to_string(counts.back()));
    const Measured* small = find(family + "/" + std::to_string(reference));
    if (big == nullptr || small == nullptr) return;
    const double ratio = big->counters.at("answerBytes") / small->counters.at("answerBytes");
    printRow(stdout, Row{"growth",
                         "answer size, " + formatCount(big->counters.at("units")) +
                             " actions against " + formatCount(small->counters.at("units")),
                         formatBytes(big->counters.at("answerBytes")),
                         formatBytes(small->counters.at("answerBytes")), formatRatio(ratio),
                         "1.00x", verdict(ratio <= 1.0)});
  }

 private:
  static std::string perUnit(double ns, const std::string& unit) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f ns/%s", ns, unit.c_str());
    return buffer;
  }

  const Measured* find(const std::string& name) const {
    const auto it = results_.find(name);
    if (it == results_.end() || !it->second.error.empty()) return nullptr;
    return &it->second;
  }

  void failed(Row& row, const std::string& name, const std::string& floorName) const {
    std::string why;
    for (const auto& n : {name, floorName}) {
      const auto it = results_.find(n);
      why = it == results_.end() ? n + " did not run" : n + ": " + it->second.error;
      if (it == results_.end() || !it->second.error.empty()) break;
    }
    row.result = "error (" + why + ")";
    row.verdict = "missed";
    printRow(stdout, row);
  }

  const std::map<std::string, Measured>& results_;
};

std::string bytesOf(const std::map<std::string, Measured>& results, const std::string& name) {
  const auto it = results.find(name);
  if (it == results.end() || it->second.counters.count("bytes") == 0) return "?";
  return formatBytes(it->second.counters.at("bytes"));
}

void printTable(const std::map<std::string, Measured>& results) {
  Table table(results);
  printHeader(stdout);
  table.ratioRow(
      "decoding",
      "default activity payload (" + bytesOf(results, "decode/default") + "), per payload",
      "decode/default", "simdjson/default", "simdjson parse", 1.5);
  table.ratioRow(
      "decoding",
      "payload near the 4 KB budget (" + bytesOf(results, "decode/near-budget") + "), per payload",
      "decode/near-budget", "simdjson/near-budget", "simdjson parse", 1.5);
  table.plainRow("presentations", "build all seven view trees from the decoded default state",
                 "build/default");
  table.plainRow("presentations", "write the seven trees' JSON form", "write/default");
  table.updateRow("full update of the default activity: decode, build seven, write answer",
                  "update/default", "simdjson/default-request", "simdjson parse of the request",
                  30.0);
  table.ratioRow("hashing",
                 "hash a content state, ASCII texts (" + bytesOf(results, "hash/ascii") + ")",
                 "hash/ascii", "xxh3/ascii", "XXH3, same bytes", 2.0);
  table.ratioRow("hashing",
                 "hash a content state, ASCII texts near the budget (" +
                     bytesOf(results, "hash/ascii-near-budget") + ")",
                 "hash/ascii-near-budget", "xxh3/ascii-near-budget", "XXH3, same bytes", 1.5);
  table.ratioRow("hashing",
                 "hash a content state, texts with combining marks (" +
                     bytesOf(results, "hash/combining") + ")",
                 "hash/combining", "xxh3/combining", "XXH3, same bytes", 20.0);
  table.ratioRow("equality", "two equal content states, ASCII texts", "equal/ascii", "xxh3/ascii",
                 "XXH3, one side's bytes", 2.0);
  table.ratioRow("equality", "combining marks against the precomposed texts", "equal/combining",
                 "xxh3/combining", "XXH3, one side's bytes", 0);
  table.growthRow("full update against body length, per body byte", "growth/body", 4096,
                  bodyLengths.back(), "B", "units");
  table.growthRow("full update against answer size, per answer byte", "growth/body", 4096,
                  bodyLengths.back(), "B", "answerBytes");
  table.growthRow("full update against actions (blank ids in front), per action", "growth/actions",
                  100, actionCounts.back(), "action", "units");
  table.buttonRows("growth/actions", {actionCounts.begin(), actionCounts.end()}, 10);
}

}  // namespace

}  // namespace corvlin::bench

namespace corvlin::bench {
namespace {

// `--before FILE ... --after FILE ...`: the before-and-after table from earlier runs' JSON
// output, with no benchmark run. Nothing when the arguments ask for benchmarks instead.
std::optional<int> compareRuns(int argc, char** argv) {
  std::vector<std::string> before;
  std::vector<std::string> after;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--before") {
      before.emplace_back(argv[i + 1]);
    } else if (flag == "--after") {
      after.emplace_back(argv[i + 1]);
    } else {
      return std::nullopt;
    }
  }
  if (before.empty() || after.empty() || argc % 2 == 0) return std::nullopt;
  std::vector<Figures> beforeRuns;
  std::vector<Figures> afterRuns;
  for (auto [paths, runs] : {std::pair{&before, &beforeRuns}, std::pair{&after, &afterRuns}}) {
    for (const std::string& path : *paths) {
      auto figures = readFigures(path);
      if (!figures) {
        std::fprintf(stderr, "corvlin-bench: %s\n", figures.error().c_str());
        return 66;
      }
      runs->push_back(std::move(figures).value());
    }
  }
  printBeforeAfter(beforeRuns, afterRuns);
  return 0;
}

}  // namespace
}  // namespace corvlin::bench

int main(int argc, char** argv) {
  using namespace corvlin::bench;
  if (const auto compared = compareRuns(argc, argv)) return *compared;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 64;
  registerDecoding();
  registerUpdates();
  registerHashing();
  registerGrowth();

  Collector collector;
  collector.SetOutputStream(&std::cerr);
  collector.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  printTable(collector.results);
  return 0;
}
