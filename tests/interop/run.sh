#!/usr/bin/env bash
# Drives an unmodified push-client library from npm (@parse/node-apn) against
# corvlin-host serve --tls. Installs Node.js and the library when they are missing.
# Usage: tests/interop/run.sh [BUILD_DIR]   (default: build, relative to the repository)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
host="$build/bin/corvlin-host"
if [ ! -x "$host" ]; then
  echo "run.sh: $host is missing; build the project first" >&2
  exit 1
fi

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "run.sh: installing nodejs npm" >&2
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
if [ ! -d "$here/node_modules/@parse/node-apn" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

cd "$here"
CORVLIN_HOST="$host" node --test --test-reporter=spec
