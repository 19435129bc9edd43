#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for SECONDS each, one after another, under the
# sanitizers the build was made with. Each target works on its own copy of the seed corpus in
# the build directory (the checked-in seeds under fuzz/corpus/ are never written to); what it
# finds is kept there for the next run. Fails when any target reports a crash, a leak, a
# sanitizer report, a timeout or a broken property; the input that did it is left in
# BUILD/fuzz/<target>/artifacts/.
#
#   scripts/fuzz.sh BUILD_DIR [SECONDS]      (default 60)
set -uo pipefail

build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
repo=$(cd "$(dirname "$0")/.." && pwd)
seeds=$repo/fuzz/corpus

# Which seed folders feed which target.
declare -A corpora=(
  [decode_fuzzer]="content-state attributes"
  [render_fuzzer]="content-state"
  [runner_fuzzer]="requests"
  [updates_fuzzer]="updates"
  [serve_fuzzer]="serve"
  [layout_fuzzer]="views"
  [provider_token_fuzzer]="provider_token"
  [h2_session_fuzzer]="h2"
)
targets=(decode_fuzzer render_fuzzer runner_fuzzer updates_fuzzer serve_fuzzer layout_fuzzer
  provider_token_fuzzer h2_session_fuzzer)
# The runner runs once more in an allocation-failure mode: any single allocation of this many
# MiB or more is a failure. Its over-long lines (see fuzz/runner_fuzzer.cpp) must then be read
# and dropped, never held, and a line within the bound parsed in less.
runner_malloc_limit_mb=32
# The servers' targets run under a tighter memory limit: each holds what a connection may queue
# (bounded, and checked inside the harness), and the serve target opens its fonts once, so
# neither may grow with the inputs it has run.
declare -A rss_limits_mb=([h2_session_fuzzer]=1024 [serve_fuzzer]=1024)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# The font library keeps what its configuration scanned, once per process that opens the fonts
# (the serve and layout paths do); that alone is not reported, as in the sanitizer tests.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$repo/tests/lsan.supp:print_suppressions=0}

# run TARGET NAME MALLOC_LIMIT_MB: one run of TARGET, logged and judged under NAME.
failed=()
run() {
  local target=$1 name=$2 malloc_limit=$3
  local rss_limit=${rss_limits_mb[$target]:-2048}
  if [ "$malloc_limit" -gt "$rss_limit" ]; then malloc_limit=$rss_limit; fi
  local binary=$build/bin/$target
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary is missing; build with -DCORVLIN_BUILD_FUZZ=ON" >&2
    failed+=("$name (not built)")
    return
  fi
  local work=$build/fuzz/$name
  mkdir -p "$work/corpus" "$work/artifacts"
  for folder in ${corpora[$target]}; do
    cp -n "$seeds/$folder"/* "$work/corpus/"
  done

  echo "fuzz: $name for ${seconds}s (memory limit ${rss_limit} MiB)"
  "$binary" "$work/corpus" \
    -dict="$repo/fuzz/json.dict" \
    -max_total_time="$seconds" \
    -max_len=32768 \
    -rss_limit_mb="$rss_limit" \
    -malloc_limit_mb="$malloc_limit" \
    -timeout=10 \
    -detect_leaks=1 \
    -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" \
    >"$work/fuzz.log" 2>&1
  local status=$?

  # The last status line and the final figures, for the record.
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$work/fuzz.log" | tail -n 1
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/fuzz.log"
  echo "corpus: $(find "$work/corpus" -type f | wc -l) inputs"
  if [ $status -ne 0 ]; then
    echo "fuzz: $name FAILED (status $status); log: $work/fuzz.log" >&2
    grep -E 'ERROR|fuzz property broken|SUMMARY|Test unit written' "$work/fuzz.log" | head -n 20 >&2
    failed+=("$name")
  fi
}

for target in "${targets[@]}"; do
  run "$target" "$target" 2048
done
run runner_fuzzer runner_fuzzer-malloc-limit "$runner_malloc_limit_mb"

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets clean, the runner also under a ${runner_malloc_limit_mb} MiB allocation limit"
