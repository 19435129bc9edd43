#!/usr/bin/env bash
# Checks the live HTML preview in headless Chromium: writes the pages with corvlin-host from the
# payloads beside this script, then runs the browser tests on them.
# Usage: tests/browser/run.sh [BUILD_DIR]   (default: build, relative to the repository)
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

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_install() {
  echo "run.sh: installing $*" >&2
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
# Debian's Chromium drives the tests; no browser is ever downloaded.
[ -x /usr/bin/chromium ] || apt_install chromium
command -v node >/dev/null && command -v npm >/dev/null || apt_install nodejs npm
# Emoji in a payload's texts are drawn from the colour emoji font in the page's font stack, and
# other scripts from the Noto families the snapshots use.
for p in fonts-noto-color-emoji fonts-noto-core fonts-noto-cjk; do
  dpkg -s "$p" >/dev/null 2>&1 || apt_install "$p"
done
if [ ! -d "$here/node_modules/playwright-core" ] || [ ! -d "$here/node_modules/@parse/node-apn" ]; then
  (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

pages="$build/browser"
rm -rf "$pages"
mkdir -p "$pages"
now=1767225510  # the instant the payloads' timers are written against

# render NAME EXPECTED_STATUS [ARGS...]: one page, with the exit status corvlin-host should give.
render() {
  local name="$1" expected="$2" status=0
  shift 2
  "$host" render "$@" --format html --out "$pages/$name.html" 2>>"$pages/render.log" || status=$?
  if [ "$status" -ne "$expected" ] || [ ! -s "$pages/$name.html" ]; then
    echo "run.sh: rendering $name exited $status, expected $expected" >&2
    cat "$pages/render.log" >&2
    exit 1
  fi
}
render default 0  # the built-in activity, its countdown ending 90 s after the real now
render ring-quarter 0 "$here/payloads/ring-quarter.json" --now "$now"
render timers 0 "$here/payloads/timers.json" --now "$now"
render actions 0 "$here/payloads/actions.json" --now "$now"
render several 65 "$here/payloads/several.json" --now "$now"  # its second activity does not decode
render honest 0 "$here/payloads/honest.json" --now "$now"  # overflow, a long timer, a countdown ending
# Fits, just over, far over: the page's badges against render's clipped warnings.
render clipping 0 "$here/payloads/clipping.json" --now "$now"
"$host" render "$here/payloads/clipping.json" --now "$now" --format json --out "$pages/clipping.json" \
  2>>"$pages/render.log"
# Fits, a long title, three actions, an Arabic and a Japanese title: the page's lines against the
# layout's warnings.
render lines 0 "$here/payloads/lines.json" --now "$now"
"$host" render "$here/payloads/lines.json" --now "$now" --format json --out "$pages/lines.json" \
  2>>"$pages/render.log"
render wide 0 "$here/payloads/clipping.json" --now "$now" --width 408

# replay NAME TIMELINE EXPECTED_STATUS: the replay page of a timeline kept in tests/data.
replay() {
  local name="$1" timeline="$2" expected="$3" status=0
  "$host" replay "$root/tests/data/timelines/$timeline" --format html --out "$pages/$name.html" \
    2>>"$pages/render.log" || status=$?
  if [ "$status" -ne "$expected" ] || [ ! -s "$pages/$name.html" ]; then
    echo "run.sh: replaying $timeline exited $status, expected $expected" >&2
    cat "$pages/render.log" >&2
    exit 1
  fi
}
replay replay-delivery delivery.jsonl 0
replay replay-broken broken-record.jsonl 65  # three of its records do not decode
replay replay-milliseconds milliseconds.jsonl 0  # its second timestamp is in milliseconds

cd "$here"
CORVLIN_HOST="$host" CORVLIN_PREVIEW_PAGES="$pages" CORVLIN_PREVIEW_SCREENSHOT="$build/preview.png" \
  node --test
