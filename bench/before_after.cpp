#include "bench/before_after.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>

#include "bench/table.hpp"
#include "json/coding_key.hpp"
#include "json/decoding.hpp"
#include "json/parse.hpp"

namespace corvlin::bench {

enum class ReportKeys { benchmarks };
enum class EntryKeys { runName, runType, aggregateName, cpuTime, timeUnit };

}  // namespace corvlin::bench

template <>
struct corvlin::json::CodingKeyStrings<corvlin::bench::ReportKeys> {
  static constexpr std::array<std::string_view, 1> values{"benchmarks"};
};
template <>
struct corvlin::json::CodingKeyStrings<corvlin::bench::EntryKeys> {
  static constexpr std::array<std::string_view, 5> values{"run_name", "run_type", "aggregate_name",
                                                          "cpu_time", "time_unit"};
};

namespace corvlin::bench {

namespace {

struct Entry {
  std::string runName;
  bool median = false;     // the median aggregate
  bool aggregate = false;  // any aggregate
  double ns = 0;
};

double nanosecondsPer(const std::string& unit) {
  if (unit == "us") return 1e3;
  if (unit == "ms") return 1e6;
  if (unit == "s") return 1e9;
  return 1;
}

Result<Entry, DecodingError> readEntry(json::element value, const json::PathNode* at) {
  using K = EntryKeys;
  auto made = json::KeyedDecodingContainer<K>::make(value, at);
  if (!made) return Failure{std::move(made).error()};
  const auto& container = made.value();
  Entry entry;
  std::string runType;
  std::optional<std::string> aggregateName;
  std::string unit;
  for (auto failure :
       {container.decodeInto(K::runName, entry.runName), container.decodeInto(K::runType, runType),
        container.decodeIfPresentInto(K::aggregateName, aggregateName),
        container.decodeInto(K::cpuTime, entry.ns), container.decodeInto(K::timeUnit, unit)}) {
    if (failure) return Failure{std::move(*failure)};
  }
  entry.aggregate = runType == "aggregate";
  entry.median = entry.aggregate && aggregateName == "median";
  entry.ns *= nanosecondsPer(unit);
  return entry;
}

// The least over the runs that measured `name`, or nothing: interference on a shared machine
// only ever adds time, so the least is the figure that carries the least of it.
std::optional<double> figure(const std::vector<Figures>& runs, const std::string& name) {
  std::optional<double> least;
  for (const Figures& run : runs) {
    const auto it = run.find(name);
    if (it != run.end() && (!least || it->second < *least)) least = it->second;
  }
  return least;
}

struct Goal {
  std::string measurement;
  std::string name;
  std::string floorName;
  double limit;
  std::string lastFactor;  // what stands above the floor when the goal is missed, and why
};

}  // namespace

Result<Figures, std::string> readFigures(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Failure{path + ": cannot be read"};
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  simdjson::dom::parser parser;
  auto root = json::parse(parser, bytes);
  if (!root) return Failure{path + ": " + root.error().description};
  auto made = json::KeyedDecodingContainer<ReportKeys>::make(root.value(), nullptr);
  if (!made) return Failure{path + ": " + made.error().description};
  auto entries =
      made.value().decode(ReportKeys::benchmarks, [](json::element list, const json::PathNode* at) {
        return json::decodeArray(list, at, readEntry);
      });
  if (!entries) return Failure{path + ": " + entries.error().description};
  Figures figures;
  for (const Entry& entry : entries.value()) {
    // The median where there are repetitions, else the one run.
    if (entry.median || (!entry.aggregate && figures.count(entry.runName) == 0)) {
      figures[entry.runName] = entry.ns;
    }
  }
  return figures;
}

void printBeforeAfter(const std::vector<Figures>& before, const std::vector<Figures>& after) {
  const std::string decodeFactor =
      "the parse is the floor; above it, the document checks that simdjson does not make "
      "(repeated names, depth) walk the parsed document once more, and the record owns its "
      "texts (one allocation per text over 15 bytes and one for the action list).";
  const Goal goals[] = {
      {"decode, default payload", "decode/default", "simdjson/default", 1.5, decodeFactor},
      {"decode, near the 4 KB budget", "decode/near-budget", "simdjson/near-budget", 1.5,
       decodeFactor},
      {"hash, ASCII, small", "hash/ascii", "xxh3/ascii", 2.0,
       "XXH3 reads 87 contiguous bytes in one call; the state's texts lie in nine to fourteen "
       "separate strings, and fetching each and feeding it with its marker (about 2 ns a field) "
       "costs more than hashing all of them."},
      {"hash, ASCII, near the budget", "hash/ascii-near-budget", "xxh3/ascii-near-budget", 1.5,
       "each long text is read twice, once to prove it ASCII (its own decomposition) and once "
       "by XXH3, which offers no way to check bytes as it reads them."},
      {"hash, texts with combining marks", "hash/combining", "xxh3/combining", 20.0,
       "decomposing and ordering the marks' code points through utf8proc's tables."},
      {"equality, ASCII", "equal/ascii", "xxh3/ascii", 2.0,
       "fourteen fields compared one by one, each behind its own pointer (a length check and "
       "overlapping words), against one pass over contiguous bytes."},
      {"full update, default activity", "update/default", "simdjson/default-request", 30.0,
       "the answer (7 KB) is 20 times the request's bytes: writing it is 12 parses though it is "
       "faster per byte than the parse, building the seven trees (in an arena, with no heap "
       "allocation) about 9 more, and reading the request about 3."},
  };
  std::vector<std::string> missed;
  std::printf(
      "\n| measurement | before | after | floor | ratio before | ratio after | goal | verdict |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Goal& goal : goals) {
    const auto was = figure(before, goal.name);
    const auto wasFloor = figure(before, goal.floorName);
    const auto is = figure(after, goal.name);
    const auto isFloor = figure(after, goal.floorName);
    if (!was || !wasFloor || !is || !isFloor) {
      std::printf("| %s | missing | missing | – | – | – | ≤ %s | missed |\n",
                  goal.measurement.c_str(), formatRatio(goal.limit).c_str());
      continue;
    }
    const double ratioBefore = *was / *wasFloor;
    const double ratioAfter = *is / *isFloor;
    std::printf("| %s | %s | %s | %s | %s | %s | ≤ %s | %s |\n", goal.measurement.c_str(),
                formatNanoseconds(*was).c_str(), formatNanoseconds(*is).c_str(),
                formatNanoseconds(*isFloor).c_str(), formatRatio(ratioBefore).c_str(),
                formatRatio(ratioAfter).c_str(), formatRatio(goal.limit).c_str(),
                verdict(ratioAfter <= goal.limit).c_str());
    if (ratioAfter > goal.limit) missed.push_back(goal.measurement + ": " + goal.lastFactor);
  }
  if (!missed.empty()) std::printf("\nWhere a goal is missed, what stands above its floor:\n\n");
  for (const std::string& line : missed) std::printf("- %s\n", line.c_str());
}

}  // namespace corvlin::bench
