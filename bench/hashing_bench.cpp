// Hashing and equality of content states, beside XXH3 over the same text bytes.
#include <benchmark/benchmark.h>
#include <xxhash.h>

#include <string>

#include "bench/benchmarks.hpp"
#include "bench/payloads.hpp"

namespace corvlin::bench {

namespace {

void hashState(benchmark::State& state, const ContentState& content) {
  for (auto _ : state) benchmark::DoNotOptimize(hashValue(content));
  state.counters["bytes"] = static_cast<double>(textBytes(content).size());
}

// `a` and `b` are equal; every text is read to the end.
void compareStates(benchmark::State& state, const ContentState& a, const ContentState& b) {
  if (!(a == b)) state.SkipWithError("the states differ");
  for (auto _ : state) {
    const bool same = a == b;
    benchmark::DoNotOptimize(same);
  }
}

void hashBytes(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) benchmark::DoNotOptimize(XXH3_64bits(bytes.data(), bytes.size()));
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

}  // namespace

void registerHashing() {
  const ContentState ascii = defaultActivityState();
  const ContentState asciiLong = nearBudgetState();
  const ContentState decomposed = decomposedState();
  const ContentState precomposed = precomposedState();

  benchmark::RegisterBenchmark("hash/ascii", hashState, ascii);
  benchmark::RegisterBenchmark("xxh3/ascii", hashBytes, textBytes(ascii));
  benchmark::RegisterBenchmark("hash/ascii-near-budget", hashState, asciiLong);
  benchmark::RegisterBenchmark("xxh3/ascii-near-budget", hashBytes, textBytes(asciiLong));
  benchmark::RegisterBenchmark("hash/combining", hashState, decomposed);
  benchmark::RegisterBenchmark("xxh3/combining", hashBytes, textBytes(decomposed));

  // A separate copy, so that no string is compared with itself.
  benchmark::RegisterBenchmark("equal/ascii", compareStates, ascii, ContentState(ascii));
  benchmark::RegisterBenchmark("equal/combining", compareStates, decomposed, precomposed);
}

}  // namespace corvlin::bench
