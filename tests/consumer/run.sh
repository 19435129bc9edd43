#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds and runs a small project against the
# installed package. Usage: tests/consumer/run.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/corvlin-host"
test -x "$work/prefix/bin/corvlin-live-activity-extension"
test -f "$work/prefix/include/corvlin/model/coding.hpp"
cmake -S "$here" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release \
  >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/consumer"
