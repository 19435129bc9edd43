#!/usr/bin/env bash
# make demo's push endpoint over TLS: starts corvlin-host serve --tls on a free port with its
# local authority in BUILD/demo-state, shows what it prints at the start, sends one push with
# curl over HTTP/2 trusting only the authority, shows the answer, and stops the server.
# Usage: scripts/demo-tls.sh BUILD_DIR
set -euo pipefail
build="$1"
host="$build/bin/corvlin-host"
state="$build/demo-state"
log="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$log"
}
trap cleanup EXIT INT TERM

mkfifo "$log/out"
"$host" serve --tls --port 0 --state-dir "$state" >"$log/out" 2>"$log/err" &
server=$!
exec 3<"$log/out"
if ! IFS= read -r -t 10 first <&3; then
  echo "demo: serve --tls did not start" >&2
  cat "$log/err" >&2
  exit 1
fi
echo "\$ $host serve --tls --port 0 --state-dir $state"
sed 's/^/  (stderr) /' "$log/err"
echo "  $first"
port="${first##*:}"
port="${port%/}"
push='{"aps":{"event":"update","timestamp":'"$(date +%s)"',"content-state":{"title":"Order 42 is on its way","tone":"warning"}}}'
echo "\$ curl --http2 --cacert $state/ca.pem -H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity' --data-binary '...' https://localhost:$port/3/device/0a1b"
curl -sS -i --http2 --cacert "$state/ca.pem" --max-time 10 \
  -H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity' \
  --data-binary "$push" "https://localhost:$port/3/device/0a1b" | sed 's/^/  /'
echo
