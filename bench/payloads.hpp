// The states and payloads the benchmarks measure: the default activity, one near the platform's
// 4 KB payload budget, texts with combining marks, and the ones that grow.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/instant.hpp"
#include "model/records.hpp"

namespace corvlin::bench {

// The platform's budget for one activity's coded content state.
inline constexpr std::size_t payloadBudget = 4096;

// A file under tests/data, whole; aborts when it cannot be read.
std::string dataFile(std::string_view name);

// The default activity's request line and what it holds.
std::string defaultActivityRequest();
ContentState defaultActivityState();
Instant defaultActivityNow();

// A request line for `state` with `now` pinned.
std::string requestLine(const ContentState& state, Instant now);

// The coded form; aborts for a state that cannot be coded.
std::string encoded(const ContentState& state);

// Every text of the state concatenated: the bytes that hashing and equality read.
std::string textBytes(const ContentState& state);

// Ten actions and long ASCII texts (a few of them escaped), coded just under payloadBudget.
ContentState nearBudgetState();

// The default activity written with combining marks (decomposed), and the same texts
// precomposed: canonically equivalent, different bytes.
ContentState decomposedState();
ContentState precomposedState();

// The default activity with a body of `length` ASCII bytes.
ContentState stateWithBody(std::size_t length);

// The default activity with `count` actions: all but the last (up to) four have ids that are
// nothing but white space, so the buttons come from the end of the list.
ContentState stateWithActions(std::size_t count);

}  // namespace corvlin::bench
