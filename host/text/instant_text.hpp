// Instants written for people: "2026-01-01 00:00:10 UTC".
#pragma once

#include <string>

namespace corvlin::host {

// "2026-01-01 00:00:10 UTC"; seconds beyond what a calendar shows are written as a number.
std::string utcText(double seconds);

}  // namespace corvlin::host
