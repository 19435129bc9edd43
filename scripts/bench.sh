#!/usr/bin/env bash
# Runs every benchmark (`make bench`) against the build in $1 and prints one Markdown table:
# each measurement beside its floor, the ratio, the target and whether it is met.
# With a second build directory $2 (an earlier commit's, from scripts/build-baseline.sh), it
# also prints before and after from the same run: the micro-benchmarks of both builds in
# turns, and the steady state of both extensions in turns.
# Raw results (Google Benchmark JSON and console output) land in $1/bench/.
set -euo pipefail

build=${1:-build}
baseline=${2:-}
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
if [ -z "$baseline" ]; then
  "$bin/corvlin-bench-steady-state" "$bin/corvlin-live-activity-extension"
else
  "$bin/corvlin-bench-steady-state" --baseline "$baseline/bin/corvlin-live-activity-extension" \
    "$bin/corvlin-live-activity-extension"
  # The measurements with goals and their floors: for each goal, each build in turn, five
  # rounds, so that a burst of load on the shared machine falls on both builds alike.
  goals=('^(decode|simdjson)/default$' '^(decode|simdjson)/near-budget$'
         '^(hash|xxh3)/ascii$' '^(hash|xxh3)/ascii-near-budget$' '^(hash|xxh3)/combining$'
         '^(equal|xxh3)/ascii$' '^(update/default|simdjson/default-request)$')
  compare=()
  for round in 1 2 3 4 5; do
    for g in "${!goals[@]}"; do
      for side in before after; do
        program=$bin/corvlin-bench
        [ "$side" = before ] && program=$baseline/bin/corvlin-bench
        out=$raw/$side-$round-$g.json
        "$program" --benchmark_filter="${goals[$g]}" --benchmark_min_time=0.2 \
          --benchmark_out="$out" --benchmark_out_format=json \
          >/dev/null 2>>"$raw/before-after.txt"
        compare+=("--$side" "$out")
      done
    done
  done
  "$bin/corvlin-bench" "${compare[@]}"
  echo
  echo "Before: $(cat "$baseline/../commit" 2>/dev/null || echo "$baseline"); after: this build."
fi

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
echo
echo "Machine: $(nproc) cores (${cpu:-unknown CPU}); load average $load_before before the run," \
     "$(cut -d' ' -f1-3 /proc/loadavg) after."

# The layout and drawing of the default activity's snapshots (render --format png).
if [ -x "$bin/corvlin-bench-drawing" ]; then
  echo
  echo "Layout and drawing of the default activity (presentation 0 lock screen, 1 expanded, 2 compact, 3 minimal):"
  "$bin/corvlin-bench-drawing" --benchmark_min_time=0.2 2>/dev/null
fi

# The whole render, process and all (the extension started and answered, the fonts opened, the
# layout, the output): the text form of 4 KB states whose body is one 4,000-letter word or 2,000
# short words, the same at 16 KB, and the PNG snapshots of the default activity. Each figure is
# the median wall time of 21 runs.
if [ -x "$bin/corvlin-host" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  letters=$(head -c 16000 /dev/zero | tr '\0' 'a')
  words=$(printf 'a %.0s' $(seq 8000))
  printf '{"title":"Order 42","body":"%s"}' "${letters:0:4000}" >"$work/word-4k.json"
  printf '{"title":"Order 42","body":"%s"}' "${words:0:3999}" >"$work/words-4k.json"
  printf '{"title":"Order 42","body":"%s"}' "$letters" >"$work/word-16k.json"
  printf '{"title":"Order 42","body":"%s"}' "${words:0:15999}" >"$work/words-16k.json"
  median_ms() {
    local times=() start end
    for _ in $(seq 21); do
      start=$(date +%s%N)
      "$@" >/dev/null 2>&1 || true
      end=$(date +%s%N)
      times+=($(( (end - start) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 11p | awk '{printf "%.1f ms", $1 / 1000}'
  }
  echo
  echo "Whole process, median of 21 runs:"
  echo
  echo "| command | time | target |"
  echo "|---|---|---|"
  for f in word-4k words-4k word-16k words-16k; do
    echo "| render --format text, $f | $(median_ms "$bin/corvlin-host" render "$work/$f.json" --now 1767225510) | under 20 ms (4 KB) |"
  done
  echo "| render --format png, default activity | $(median_ms "$bin/corvlin-host" render --format png --out "$work/png") | under 150 ms |"
fi
