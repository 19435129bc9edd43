// Full updates as the body and the action list grow; counts the buttons built.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <string>
#include <variant>

#include "bench/benchmarks.hpp"
#include "bench/payloads.hpp"
#include "extension/runner.hpp"

namespace corvlin::bench {

namespace {

void updateOf(benchmark::State& state, const ContentState& content, double units) {
  const std::string line = requestLine(content, defaultActivityNow());
  update(state, line);
  const ActivityConfiguration configuration = CorvlinLiveActivityWidget{}.body();
  state.counters["requestBytes"] = static_cast<double>(line.size());
  state.counters["units"] = units;

  // The buttons of the lock screen and of the expanded bottom region, built once more.
  const ActivityViewContext context{{}, content};
  const auto built = presentations(configuration, context, fixedNow(defaultActivityNow()));
  const std::size_t lockScreen = linkCount(built.lockScreen);
  const std::size_t bottom = linkCount(built.dynamicIsland.expanded.at(2).content);
  state.counters["buttons"] = static_cast<double>(lockScreen > bottom ? lockScreen : bottom);
  if (lockScreen > 3 || bottom > 3) state.SkipWithError("more than three buttons built");
}

void growBody(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  updateOf(state, stateWithBody(length), static_cast<double>(length));
}

void growActions(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  updateOf(state, stateWithActions(count), static_cast<double>(count));
}

}  // namespace

std::size_t linkCount(const ui::View& view) {
  std::size_t count = std::holds_alternative<ui::Link>(view.kind) ? 1 : 0;
  std::visit(
      [&](const auto& kind) {
        using Kind = std::decay_t<decltype(kind)>;
        if constexpr (requires { kind.children; }) {
          for (const auto& child : kind.children) count += linkCount(child);
        }
        if constexpr (std::is_same_v<Kind, ui::Link>) count += linkCount(*kind.label);
      },
      view.kind);
  for (const auto& modifier : view.modifiers) {
    if (const auto* background = std::get_if<ui::Background>(&modifier)) {
      count += linkCount(*background->content);
    }
  }
  return count;
}

void registerGrowth() {
  auto* body = benchmark::RegisterBenchmark("growth/body", growBody);
  for (auto length : bodyLengths) body->Arg(length);
  auto* actions = benchmark::RegisterBenchmark("growth/actions", growActions);
  for (auto count : actionCounts) actions->Arg(count);
}

}  // namespace corvlin::bench
