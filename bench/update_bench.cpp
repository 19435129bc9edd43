// Building the seven presentations, and a full update: decode, build, write the answer.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <array>
#include <cstddef>
#include <memory_resource>
#include <string>

#include "bench/benchmarks.hpp"
#include "bench/payloads.hpp"
#include "extension/runner.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin::bench {

namespace {

void buildSeven(benchmark::State& state) {
  const ActivityConfiguration configuration = CorvlinLiveActivityWidget{}.body();
  const ActivityViewContext context{{"delivery", "A42"}, defaultActivityState()};
  const Now now = fixedNow(defaultActivityNow());
  // As the runner builds: in an arena for the answer.
  for (auto _ : state) {
    std::array<std::byte, 24 << 10> scratch;  // NOLINT(*-member-init): written before read
    std::pmr::monotonic_buffer_resource arena(scratch.data(), scratch.size());
    auto built = presentations(configuration, context, now, &arena);
    benchmark::DoNotOptimize(built);
  }
}

void writeSeven(benchmark::State& state) {
  const ActivityConfiguration configuration = CorvlinLiveActivityWidget{}.body();
  const ActivityViewContext context{{"delivery", "A42"}, defaultActivityState()};
  const auto built = presentations(configuration, context, fixedNow(defaultActivityNow()));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string written = ui::toJson(built);
    bytes = written.size();
    benchmark::DoNotOptimize(written);
  }
  state.counters["answerBytes"] = static_cast<double>(bytes);
}

void parseOnly(benchmark::State& state, const std::string& line) {
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(line.data(), line.size()).get(root) != simdjson::SUCCESS) {
      state.SkipWithError("the request does not parse");
      break;
    }
    benchmark::DoNotOptimize(root);
  }
}

}  // namespace

void update(benchmark::State& state, const std::string& line) {
  const ActivityConfiguration configuration = CorvlinLiveActivityWidget{}.body();
  const Now unused = [] { return Instant{}; };
  simdjson::dom::parser parser;
  // As the runner answers: into one output buffer that every answer reuses.
  json::Writer out;
  std::size_t bytes = 0;
  for (auto _ : state) {
    out.truncate(0);
    writeAnswer(out, configuration, parser, line, unused);
    bytes = out.size();
    benchmark::DoNotOptimize(out.str().data());
  }
  if (answer(configuration, parser, line, unused).starts_with("{\"error\"")) {
    state.SkipWithError("the request is answered with an error");
  }
  state.counters["answerBytes"] = static_cast<double>(bytes);
}

void registerUpdates() {
  const std::string line = defaultActivityRequest();
  benchmark::RegisterBenchmark("build/default", buildSeven);
  benchmark::RegisterBenchmark("write/default", writeSeven);
  benchmark::RegisterBenchmark("update/default", update, line);
  benchmark::RegisterBenchmark("simdjson/default-request", parseOnly, line);
}

}  // namespace corvlin::bench
