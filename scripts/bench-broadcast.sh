#!/usr/bin/env bash
# Broadcasts on `corvlin-host serve` (`make bench-broadcast`): first the board alone
# (corvlin-bench-broadcast, when the build has the benchmarks: a broadcast to 1,000 and 10,000
# local subscribers, answered and fanned out through the update rules, and the heap each
# subscriber holds), then broadcasts per second over h2 with TLS to a channel of 1,000 local
# subscribers (serve --subscribers 1000) with a page listening, 4 connections x 32 streams, and
# the same to a channel of 2,000 in eleven groups (serve's 1,000, and ten of 100 added from the
# page). Raw output lands in $1/bench/broadcast/.
#
#   scripts/bench-broadcast.sh [BUILD_DIR] [BROADCASTS]     (defaults: build, 20000)
set -euo pipefail

build=${1:-build}
broadcasts=${2:-20000}
bin=$build/bin
[ -x "$bin/corvlin-host" ] || { echo "bench-broadcast: $bin/corvlin-host is missing; build first" >&2; exit 1; }
command -v h2load >/dev/null || { echo "bench-broadcast: h2load is missing (nghttp2-client)" >&2; exit 1; }
command -v openssl >/dev/null || { echo "bench-broadcast: openssl is missing" >&2; exit 1; }
raw=$build/bench/broadcast
mkdir -p "$raw"

board_rows=""
if [ -x "$bin/corvlin-bench-broadcast" ]; then
  echo "bench-broadcast: the board alone (about 20 s)" >&2
  "$bin/corvlin-bench-broadcast" --benchmark_repetitions=5 --benchmark_min_time=0.2 \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    >"$raw/board.json" 2>"$raw/board.txt"
  # One row a benchmark: its median time (CPU, microseconds) and heap per subscriber.
  board_rows=$(python3 - "$raw/board.json" <<'PY'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name = b["run_name"]
    print(f"| {name} | {b['cpu_time']:.1f} us a broadcast, {b['bytesPerSubscriber']:.2f} bytes of heap a subscriber | answer under 5 ms, fan-out under 50 ms, under 2 KB a subscriber |")
PY
)
else
  echo "bench-broadcast: $bin/corvlin-bench-broadcast is missing (configure with -DCORVLIN_BUILD_BENCH=ON); the board alone is skipped" >&2
fi

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -keyout "$raw/key.pem" -out "$raw/cert.pem" \
  2>/dev/null
"$bin/corvlin-host" serve --port 0 --tls --cert "$raw/cert.pem" --key "$raw/key.pem" \
  --subscribers 1000 >"$raw/serve.out" 2>"$raw/serve.err" &
server=$!
listener=""
trap 'kill -TERM $server $listener 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$raw/serve.out" ] && break
  sleep 0.05
done
url=$(sed -n 's/^serving //p' "$raw/serve.out")
[ -n "$url" ] || { echo "bench-broadcast: the server did not start" >&2; exit 1; }

# create: a channel's id, made with storage policy 1 over h2.
create() {
  curl -sk --http2 -o /dev/null -D - -X POST --data-binary \
    '{"message-storage-policy":1,"push-type":"LiveActivity"}' \
    "${url}1/apps/com.corvlin.app/channels" | tr -d '\r' | sed -n 's/^apns-channel-id: //p'
}
one_group=$(create)
# Its own 1,000, and ten groups of 100 added from the page.
ten_groups=$(create)
origin=${url%/}
for _ in $(seq 10); do
  curl -sk -o /dev/null -H "Origin: $origin" -H 'content-type: application/json' \
    --data-binary "{\"channel\":\"$ten_groups\",\"count\":100}" "${url}subscribers"
done
[ -n "$one_group" ] && [ -n "$ten_groups" ] || { echo "bench-broadcast: no channel was made" >&2; exit 1; }

now=$(date +%s)
printf '{"aps":{"event":"update","timestamp":%s,"content-state":{"title":"Second half","body":"1 - 0","tone":"warning","progress":0.6},"stale-date":%s}}' \
  "$now" "$((now + 3600))" >"$raw/broadcast.json"
# A provider token of the right form and age, as a sender's requests carry: the server, started
# without a key, reads it without checking its signature, and warns of none.
b64url() { base64 -w0 | tr '+/' '-_' | tr -d '='; }
provider_token="bearer $(printf '{"alg":"ES256","kid":"ABC123DEFG"}' | b64url).$(printf '{"iss":"DEF123GHIJ","iat":%s}' "$now" | b64url).$(head -c 64 /dev/zero | b64url)"
listen() {
  timeout 300 curl -sNk --http1.1 "${url}events" >/dev/null &
  listener=$!
}
# run CHANNEL FILE: broadcasts to CHANNEL over h2 with TLS, with a page listening.
run() {
  listen
  timeout 300 h2load -n "$broadcasts" -c 4 -m 32 -t 1 -d "$raw/broadcast.json" \
    -H 'apns-push-type: liveactivity' -H "apns-channel-id: $1" -H 'content-type: application/json' \
    -H "authorization: $provider_token" \
    "${url}4/broadcasts/apps/com.corvlin.app" >"$2"
  if kill -0 "$listener" 2>/dev/null; then kill "$listener"; echo "the page kept up"; else echo "the page was disconnected"; fi
}
echo "bench-broadcast: $broadcasts broadcasts over h2 with TLS, twice" >&2
page_one=$(run "$one_group" "$raw/h2load-one-group.txt")
page_ten=$(run "$ten_groups" "$raw/h2load-ten-groups.txt")
reached=$(curl -sk --http2 -H 'apns-push-type: liveactivity' -H "apns-channel-id: $ten_groups" \
  -H "authorization: $provider_token" \
  --data-binary @"$raw/broadcast.json" "${url}4/broadcasts/apps/com.corvlin.app")

figures() {
  local rate codes
  rate=$(sed -n 's/^finished in \([0-9.]*m\{0,1\}s\), \([0-9.]*\) req\/s.*/\2/p' "$1")
  codes=$(sed -n 's/^status codes: //p' "$1")
  echo "$rate per second ($codes)"
}
cat <<TABLE
| measurement | figure | target |
|---|---|---|
$board_rows
| broadcasts over h2 with TLS to 1,000 local subscribers (one group), 4 connections x 32 streams | $(figures "$raw/h2load-one-group.txt"), $page_one | reported |
| the same to 2,000 in eleven groups (serve's 1,000 and ten of 100 from the page) | $(figures "$raw/h2load-ten-groups.txt"), $page_ten; a broadcast's answer: $reached | reported |
TABLE
