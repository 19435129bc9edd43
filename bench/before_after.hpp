// Before and after: the figures of two builds' runs of corvlin-bench, read back from Google
// Benchmark's JSON output, side by side with each target.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "json/result.hpp"

namespace corvlin::bench {

// Median CPU nanoseconds per benchmark name, from one run's JSON output.
using Figures = std::map<std::string, double>;

// Reads one run's output (the median aggregates; a run without repetitions gives its one
// figure). The error names the file and what is wrong in it.
Result<Figures, std::string> readFigures(const std::string& path);

// Prints the before-and-after table of the measurements that have ratio targets. Each figure
// is the least over the runs given for its build.
void printBeforeAfter(const std::vector<Figures>& before, const std::vector<Figures>& after);

}  // namespace corvlin::bench
