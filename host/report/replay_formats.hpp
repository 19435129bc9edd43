// A replay's steps written out: the {"steps":[...]} document and the readable text form.
#pragma once

#include <string>
#include <vector>

#include "host/report/outcome.hpp"
#include "host/text/instant_text.hpp"  // utcText, which the replay's forms write

namespace corvlin::host {

// {"steps":[ ... ]} with one step object a line: the members of StepForm::timeline, then
// presentations (or extensionError or extensionFailure in their place) when the step shows
// something.
std::string replayJson(const std::vector<ReplayedStep>& steps);

// Each step as a headline, then the text sketch of what it shows.
std::string replayText(const std::vector<ReplayedStep>& steps);

}  // namespace corvlin::host
