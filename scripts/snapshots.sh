#!/usr/bin/env bash
# The golden snapshots: each payload in tests/data/snapshots/NAME.json is drawn with
# corvlin-host render --format png at a pinned instant and compared with the pictures kept in
# tests/data/snapshots/NAME/ (corvlin-host compare). With --update the kept pictures are
# rewritten instead; review the change with compare's pictures before committing them.
#
#   scripts/snapshots.sh BUILD_DIR [--update]
set -euo pipefail

build=${1:?usage: scripts/snapshots.sh BUILD_DIR [--update]}
update=${2:-}
repo=$(cd "$(dirname "$0")/.." && pwd)
host=$build/bin/corvlin-host
golden=$repo/tests/data/snapshots
now=1767225510  # the instant the payloads' timers are written against
# Anti-aliasing may differ by a step or two between builds of the same libraries.
tolerance=4

drawn=$build/snapshots-check
rm -rf "$drawn"
status=0
for payload in "$golden"/*.json; do
  name=$(basename "$payload" .json)
  if [ "$update" = "--update" ]; then
    "$host" render "$payload" --now "$now" --format png --out "$golden/$name" 2>/dev/null
    echo "snapshots: wrote $golden/$name/"
    continue
  fi
  "$host" render "$payload" --now "$now" --format png --out "$drawn/$name" 2>/dev/null
  if ! "$host" compare "$golden/$name" "$drawn/$name" --tolerance "$tolerance" \
      --out "$build/snapshots-diff/$name"; then
    echo "snapshots: $name differs from tests/data/snapshots/$name/; the changes are drawn in $build/snapshots-diff/$name/" >&2
    status=1
  fi
done
exit $status
