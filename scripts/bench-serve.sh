#!/usr/bin/env bash
# Loads `corvlin-host serve` on loopback (`make bench-serve`): h2load over HTTP/1.1 sends
# pushes on 8 connections, each one checked, applied and answered, its activity drawn behind
# through a warm extension (the newest state only) and sent to a listening page, while the
# latency client times single pushes from the POST to the Server-Sent Event of the drawing that
# shows them (and to their answer), one at a time, each waiting for its activity's next frame.
# Then the latency client alone, without load. Then h2load
# over HTTP/2, as push clients speak it, with a page listening: h2c with prior knowledge on the
# same server, and h2 over TLS on a second server started with --tls and a throwaway
# certificate, 4 connections of 32 streams each. Last, the transport alone on each protocol:
# requests the handler refuses without touching the activities. Last, GET / timed one at a time
# while a client pushes worst-case texts (one 3,900-letter word, a push's whole 4 KB) as fast as
# it can: the drawing runs on the worker thread, so the page is answered meanwhile. Bounded in
# count and time. Raw output lands in $1/bench/serve/.
#
#   scripts/bench-serve.sh [BUILD_DIR] [REQUESTS]     (defaults: build, 50000)
set -euo pipefail

build=${1:-build}
requests=${2:-50000}
bin=$build/bin
for program in corvlin-host corvlin-live-activity-extension corvlin-bench-serve-latency; do
  if [ ! -x "$bin/$program" ]; then
    echo "bench-serve: $bin/$program is missing; build first" >&2
    exit 1
  fi
done
command -v h2load >/dev/null || { echo "bench-serve: h2load is missing (nghttp2-client)" >&2; exit 1; }
command -v openssl >/dev/null || { echo "bench-serve: openssl is missing" >&2; exit 1; }
raw=$build/bench/serve
mkdir -p "$raw"

"$bin/corvlin-host" serve --port 0 >"$raw/serve.out" 2>"$raw/serve.err" &
server=$!
tls_server=""
listener=""
trap 'kill -TERM $server $tls_server $listener 2>/dev/null; wait $server $tls_server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$raw/serve.out" ] && break
  sleep 0.05
done
url=$(sed -n 's/^serving //p' "$raw/serve.out")
port=${url##*:}
port=${port%/}
[ -n "$url" ] || { echo "bench-serve: the server did not start" >&2; exit 1; }

now=$(date +%s)
printf '{"aps":{"event":"update","timestamp":%s,"content-state":{"title":"Order 42 is on its way","body":"Courier is 2 km away","tone":"warning","progress":0.4,"timerStart":%s,"timerEnd":%s,"timerDirection":"down","actions":[{"actionId":"track","label":"Track"},{"actionId":"call","label":"Call courier"}]}}}' \
  "$now" "$now" "$((now + 900))" >"$raw/push.json"
# A provider token of the right form and age, as a sender's pushes carry: the server, started
# without a key, reads it without checking its signature, and warns of none.
b64url() { base64 -w0 | tr '+/' '-_' | tr -d '='; }
provider_token="bearer $(printf '{"alg":"ES256","kid":"ABC123DEFG"}' | b64url).$(printf '{"iss":"DEF123GHIJ","iat":%s}' "$now" | b64url).$(head -c 64 /dev/zero | b64url)"
# Eight activities, one per connection's share of the URIs.
uris=()
for token in 01 02 03 04 05 06 07 08; do uris+=("${url}3/device/$token"); done

# listen URL: an event stream read and dropped for as long as the load runs, as a page would.
listen() {
  timeout 300 curl -sNk --http1.1 "${1}events" >/dev/null &
  listener=$!
}
# stop_listening: ends the page's stream, and says whether it was still connected: a page that
# falls 1,024 events behind is disconnected.
stop_listening() {
  if kill -0 "$listener" 2>/dev/null; then
    kill "$listener" 2>/dev/null || true
    echo "the page kept up"
  else
    echo "the page was disconnected"
  fi
}

# HTTP/1.1: pushes for 10 seconds, while the latency client times its own activity's pushes.
echo "bench-serve: pushes for 10 s over 8 connections, with a page listening" >&2
timeout 60 h2load --h1 -D 10 -c 8 -t 1 -d "$raw/push.json" -H "authorization: $provider_token" \
  -H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity' \
  -H 'content-type: application/json' "${uris[@]}" >"$raw/h2load.txt" &
load=$!
listen "$url"
sleep 1
# 300 pushes take about 5 s: one at a time, each after the drawing of the one before, so each
# waits for its activity's next frame.
timeout 60 "$bin/corvlin-bench-serve-latency" "$port" 300 beef "$provider_token" \
  >"$raw/latency-under-load.txt" 2>"$raw/latency-under-load.txt.err" ||
  echo "post-to-drawing failed: $(cat "$raw/latency-under-load.txt.err")" >"$raw/latency-under-load.txt"
# The load must still run when the latency client is done, or the row is not under load.
if ! kill -0 $load 2>/dev/null; then
  echo "post-to-drawing the load ended before the latency client did" >"$raw/latency-under-load.txt"
fi
wait $load
page_h1=$(stop_listening)
timeout 60 "$bin/corvlin-bench-serve-latency" "$port" 300 cafe "$provider_token" >"$raw/latency-alone.txt"

# HTTP/2: h2c on the same server, then h2 over TLS on a server of its own.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" -keyout "$raw/key.pem" -out "$raw/cert.pem" \
  2>/dev/null
"$bin/corvlin-host" serve --port 0 --tls --cert "$raw/cert.pem" --key "$raw/key.pem" \
  >"$raw/serve-tls.out" 2>"$raw/serve-tls.err" &
tls_server=$!
for _ in $(seq 100); do
  [ -s "$raw/serve-tls.out" ] && break
  sleep 0.05
done
tls_url=$(sed -n 's/^serving //p' "$raw/serve-tls.out")
[ -n "$tls_url" ] || { echo "bench-serve: the TLS server did not start" >&2; exit 1; }
h2_uris=()
tls_uris=()
for token in 01 02 03 04 05 06 07 08; do
  h2_uris+=("${url}3/device/$token")
  tls_uris+=("${tls_url}3/device/$token")
done
h2_headers=(-H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity'
            -H 'content-type: application/json' -H "authorization: $provider_token")
echo "bench-serve: $requests pushes over h2c, then over h2 with TLS, 4 connections x 32 streams," \
  "with a page listening" >&2
listen "$url"
timeout 300 h2load -n "$requests" -c 4 -m 32 -t 1 -d "$raw/push.json" "${h2_headers[@]}" \
  "${h2_uris[@]}" >"$raw/h2load-h2c.txt"
page_h2c=$(stop_listening)
listen "$tls_url"
timeout 300 h2load -n "$requests" -c 4 -m 32 -t 1 -d "$raw/push.json" "${h2_headers[@]}" \
  "${tls_uris[@]}" >"$raw/h2load-h2-tls.txt"
page_tls=$(stop_listening)

# The transport alone: a GET of a push path, answered 405 by the handler with nothing drawn,
# logged or sent to a page.
echo "bench-serve: the transport alone, 100000 requests on each protocol" >&2
timeout 120 h2load --h1 -n 100000 -c 8 -t 1 "${url}3/device/01" >"$raw/h2load-h1-transport.txt"
timeout 120 h2load -n 100000 -c 4 -m 32 -t 1 "${url}3/device/01" >"$raw/h2load-h2c-transport.txt"
timeout 120 h2load -n 100000 -c 4 -m 32 -t 1 "${tls_url}3/device/01" \
  >"$raw/h2load-h2-tls-transport.txt"

# GET / while a client pushes worst-case 4 KB texts as fast as it can, 2 connections, to 2
# activities: every one of them laid out (on the worker thread) when drawn.
word=$(head -c 3900 /dev/zero | tr '\0' 'm')
printf '{"aps":{"event":"update","timestamp":%s,"content-state":{"title":"%s"}}}' "$now" "$word" \
  >"$raw/push-worst.json"
echo "bench-serve: GET / while 4 KB texts are pushed for 15 s" >&2
timeout 60 h2load --h1 -D 15 -c 2 -t 1 -d "$raw/push-worst.json" -H "authorization: $provider_token" \
  -H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity' \
  "${url}3/device/0d01" "${url}3/device/0d02" >"$raw/h2load-worst.txt" &
worst=$!
sleep 2
: >"$raw/get-page.txt"
for _ in $(seq 300); do
  curl -s -o /dev/null -w '%{time_total}\n' "$url" >>"$raw/get-page.txt"
  sleep 0.02
done
get_load=$(kill -0 $worst 2>/dev/null && echo "under load" || echo "the load ended first")
wait $worst || true
# p50, p99 and the largest of the page's times, in ms.
page=$(sort -n "$raw/get-page.txt" | awk '{ t[NR] = $1 * 1000 } END {
  printf "p50 %.1f ms, p99 %.1f ms, max %.1f ms (%d GETs", t[int(NR * 0.5)], t[int(NR * 0.99)], t[NR], NR }')

# figures FILE: the rate and the status codes of an h2load run.
figures() {
  local rate codes
  rate=$(sed -n 's/^finished in \([0-9.]*m\{0,1\}s\), \([0-9.]*\) req\/s.*/\2/p' "$1")
  codes=$(sed -n 's/^status codes: //p' "$1")
  echo "$rate per second ($codes)"
}
under=$(sed -n 's/^post-to-drawing //p' "$raw/latency-under-load.txt")
alone=$(sed -n 's/^post-to-drawing //p' "$raw/latency-alone.txt")
cat <<TABLE
| measurement | figure | target |
|---|---|---|
| accepted pushes for 10 s, 8 connections (h2load --h1), a page listening | $(figures "$raw/h2load.txt"), $page_h1 | at least 5500 per second |
| POST to the drawing that shows it, under that load | $under | p99 under 50 ms |
| POST to the drawing that shows it, alone | $alone | |
| accepted pushes over h2c, 4 connections x 32 streams, a page listening | $(figures "$raw/h2load-h2c.txt"), $page_h2c | |
| the same over h2 with TLS | $(figures "$raw/h2load-h2-tls.txt"), $page_tls | at least 20000 per second |
| the transport alone (GET of a push path: 405), HTTP/1.1, 8 connections | $(figures "$raw/h2load-h1-transport.txt") | |
| the same over h2c, 4 connections x 32 streams | $(figures "$raw/h2load-h2c-transport.txt") | |
| the same over h2 with TLS | $(figures "$raw/h2load-h2-tls-transport.txt") | |
| GET / while 4 KB texts are pushed (2 connections) | $page, $get_load); pushes $(figures "$raw/h2load-worst.txt") | p99 under 10 ms |
TABLE
