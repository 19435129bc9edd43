#!/usr/bin/env bash
# Checks the direction of includes between folders (scripts/layers.txt), that every C++ source
# is formatted by .clang-format, and runs clang-tidy with .clang-tidy over the project's own
# sources, any finding failing the run.
# Usage: scripts/lint.sh [BUILD_DIR]   (a configured build: clang-tidy reads its compile commands)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
jobs="$(nproc 2>/dev/null || echo 2)"

scripts/check-layers.sh

mapfile -t all < <(git ls-files '*.cpp' '*.hpp')
echo "lint: clang-format on ${#all[@]} files"
clang-format --dry-run --Werror "${all[@]}"

mapfile -t sources < <(git ls-files 'json/*.cpp' 'model/*.cpp' 'toolkit/*.cpp' 'views/*.cpp' 'layout/*.cpp' 'protocol/*.cpp' 'extension/*.cpp' 'updates/*.cpp' 'host/*.cpp')
echo "lint: clang-tidy on ${#sources[@]} files"
# GCC's own warning options in the compile commands are unknown to clang.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${sources[@]}" |
  xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet --warnings-as-errors='*' \
    --extra-arg=-Wno-unknown-warning-option >"$log" 2>&1 || status=$?
grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' "$log" || true
[ "$status" -eq 0 ] || { echo "lint: clang-tidy found problems" >&2; exit 1; }
echo "lint: clean"
