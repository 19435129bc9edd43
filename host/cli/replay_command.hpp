// `corvlin-host replay TIMELINE`: an activity's life under the update rules, step by step.
#pragma once

#include "host/cli/commands.hpp"

namespace corvlin::host {

// Reads the timeline, replays it, asks one extension process for every visible step, and
// writes the steps as text, JSON or a page. Exit: 0 every record decoded; 65 one did not (or
// the timeline cannot be read as one); 69 the extension failed on a step; 66, 73 as elsewhere.
int runReplay(const Options& options, Environment& env);

// Writes `text` to `path` whole or not at all: a temporary file in the same folder, renamed
// over `path` once written. An empty string, or the reason it could not.
std::string writeFileAtomically(const std::string& path, const std::string& text);

}  // namespace corvlin::host
