#!/usr/bin/env bash
# Builds the extension and corvlin-bench of an earlier commit, for the before-and-after table
# of `make bench`: the sources of REF are exported (no checkout is touched) into DIR/src and
# built in Release into DIR/build. A second call for the same commit only rebuilds what changed.
#
#   scripts/build-baseline.sh REF [DIR]      (DIR defaults to build-baseline)
set -euo pipefail

ref=${1:?usage: scripts/build-baseline.sh REF [DIR]}
dir=${2:-build-baseline}
commit=$(git rev-parse --verify --quiet "$ref^{commit}") || {
  echo "build-baseline: $ref is not a commit of this repository (a shallow clone lacks history)" >&2
  exit 1
}
src=$dir/src
if [ "$(cat "$dir/commit" 2>/dev/null || true)" != "$commit" ]; then
  rm -rf "$src" "$dir/build"
  mkdir -p "$src"
  git archive --format=tar "$commit" | tar -x -C "$src"
  echo "$commit" >"$dir/commit"
fi
cmake -S "$src" -B "$dir/build" -DCMAKE_BUILD_TYPE=Release -DCORVLIN_BUILD_TESTS=OFF \
  -DCORVLIN_WERROR=OFF ${CMAKE_ARGS:-} >"$dir/configure.log"
cmake --build "$dir/build" -j "$(nproc 2>/dev/null || echo 2)" \
  --target corvlin-bench corvlin-live-activity-extension >"$dir/build.log"
echo "build-baseline: $commit built in $dir/build" >&2
