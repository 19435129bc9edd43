#!/usr/bin/env bash
# Runs every benchmark (`make bench`) against the build in $1 and prints one Markdown table:
# each measurement beside its floor, the ratio, the target and whether it is met.
# Raw results (Google Benchmark JSON and console output) land in $1/bench/.
set -euo pipefail

build=${1:-build}
bin=$build/bin
for program in corvlin-bench corvlin-bench-cold-start corvlin-bench-steady-state \
               corvlin-bench-trivial corvlin-live-activity-extension; do
  if [ ! -x "$bin/$program" ]; then
    echo "bench: $bin/$program is missing (configure with -DCORVLIN_BUILD_BENCH=ON)" >&2
    exit 1
  fi
done
raw=$build/bench
mkdir -p "$raw"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "bench: running the benchmarks (about a minute); console output in $raw/benchmarks.txt" >&2

# Repetitions interleaved at random, reported as their median, so that a burst of load on a
# shared machine moves a measurement and its floor alike.
"$bin/corvlin-bench" \
  --benchmark_repetitions=5 \
  --benchmark_min_time=0.1 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$raw/benchmarks.json" --benchmark_out_format=json \
  2>"$raw/benchmarks.txt"
"$bin/corvlin-bench-cold-start" "$bin/corvlin-live-activity-extension" "$bin/corvlin-bench-trivial"
"$bin/corvlin-bench-steady-state" "$bin/corvlin-live-activity-extension"

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo
echo "Machine: $(nproc) cores (${cpu:-unknown CPU}); load average $load_before before the run," \
     "$(cut -d' ' -f1-3 /proc/loadavg) after."
