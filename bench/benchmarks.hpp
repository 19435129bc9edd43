// The benchmark families of corvlin-bench, registered by its main before the run.
#pragma once

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>

#include "extension/widget.hpp"
#include "toolkit/view.hpp"

namespace corvlin::bench {

// Decoding a content state beside simdjson parsing the same bytes:
// "decode/<payload>" and "simdjson/<payload>", payloads "default" and "near-budget".
void registerDecoding();

// "build/default": the seven view trees from a decoded state; "write/default": their JSON form;
// "update/default": decode, build and write the answer from the request line;
// "simdjson/default-request": parsing that line.
void registerUpdates();

// "hash/<texts>", "equal/<texts>" and "xxh3/<texts>" (the floor, over the same text bytes),
// texts "ascii", "ascii-near-budget" and "combining".
void registerHashing();

// Full updates as the input grows: "growth/body/<bytes>" and "growth/actions/<count>".
inline constexpr std::array<std::int64_t, 6> bodyLengths = {64, 1024, 4096, 16384, 65536, 262144};
inline constexpr std::array<std::int64_t, 5> actionCounts = {1, 10, 100, 1000, 10000};
void registerGrowth();

// The number of links (buttons) in a tree.
std::size_t linkCount(const ui::View& view);

// The runner's own work for one request line, with answerBytes as a counter; the clock is never
// read (the line pins now).
void update(benchmark::State& state, const std::string& line);

}  // namespace corvlin::bench
