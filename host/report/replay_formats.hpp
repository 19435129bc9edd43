// A replay's steps written out: the {"steps":[...]} document and the readable text form.
#pragma once

#include <string>
#include <vector>

#include "host/report/outcome.hpp"

namespace corvlin::host {

// {"steps":[ ... ]} with one step object a line, members in the order at, record, event,
// outcome, reason, error, state, warnings (left out when none), presentations (or
// extensionFailure in their place).
std::string replayJson(const std::vector<ReplayedStep>& steps);

// Each step as a headline, then the text sketch of what it shows.
std::string replayText(const std::vector<ReplayedStep>& steps);

// "the activity was dismissed", "keyNotFound at aps.event: ...": what a step says beside its
// event and outcome, empty when it says nothing more.
std::string stepNote(const updates::Step& step);

// "keyNotFound at aps.event: No value associated with key \"event\".", and the hint in
// brackets when there is one.
std::string errorText(const DecodingError& error);

// "2026-01-01 00:00:10 UTC"; seconds beyond what a calendar shows are written as a number.
std::string utcText(double seconds);

}  // namespace corvlin::host
