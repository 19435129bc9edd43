// Decoding a content state's coded form, beside simdjson parsing the same bytes and nothing else.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <string>

#include "bench/benchmarks.hpp"
#include "bench/payloads.hpp"
#include "model/coding.hpp"

namespace corvlin::bench {

namespace {

void decode(benchmark::State& state, const std::string& payload) {
  simdjson::dom::parser parser;
  for (auto _ : state) {
    auto root = json::parse(parser, payload);
    if (!root) {
      state.SkipWithError("the payload does not parse");
      break;
    }
    auto decoded = decodeContentState(root.value());
    if (!decoded) {
      state.SkipWithError("the payload does not decode");
      break;
    }
    benchmark::DoNotOptimize(decoded);
  }
  state.counters["bytes"] = static_cast<double>(payload.size());
}

void parseOnly(benchmark::State& state, const std::string& payload) {
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(payload.data(), payload.size()).get(root) != simdjson::SUCCESS) {
      state.SkipWithError("the payload does not parse");
      break;
    }
    benchmark::DoNotOptimize(root);
  }
  state.counters["bytes"] = static_cast<double>(payload.size());
}

}  // namespace

void registerDecoding() {
  const std::string defaultPayload = encoded(defaultActivityState());
  const std::string nearBudget = encoded(nearBudgetState());
  benchmark::RegisterBenchmark("decode/default", decode, defaultPayload);
  benchmark::RegisterBenchmark("simdjson/default", parseOnly, defaultPayload);
  benchmark::RegisterBenchmark("decode/near-budget", decode, nearBudget);
  benchmark::RegisterBenchmark("simdjson/near-budget", parseOnly, nearBudget);
}

}  // namespace corvlin::bench
