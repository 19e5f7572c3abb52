#!/usr/bin/env bash
# The real-time channel against the npm Socket.IO server (tests/socketio/server.js), beside
# the npm socket.io-client on the same server in the same run:
# - messages per second from the server's first send to the last message reaching the page's
#   callback (ours: the web view's evaluation of "webSocketEvent(…)" on the main queue; npm:
#   its "message" handler), a burst of N messages (default 20000) of SIZE bytes (default 100);
# - the latency of one message, server send to callback, over 200 messages 10 ms apart
#   (median and 99th percentile).
# Each figure is the median of REPETITIONS runs (default 5), ours and npm's interleaved.
# The server's per-message deflate is off unless DEFLATE=yes: with it on, the server's own
# deflate path holds a burst to the same ~1,000 messages per second for either client, which
# would measure the server, not the clients (both clients still offer deflate).
#
#   bench/socketio.sh          (BUILD_DIR=build)
source "$(dirname "$0")/common.sh"
BIN="$BUILD_DIR/bench/socketio_receiver"
require_built "$BIN"
[[ -d tests/socketio/node_modules ]] || { echo "run scripts/install-deps.sh first (npm ci in tests/socketio)" >&2; exit 1; }
N=${N:-20000}
SIZE=${SIZE:-100}
REPETITIONS=${REPETITIONS:-5}

port=$(node -e "const s=require('net').createServer().listen(0,'127.0.0.1',()=>{console.log(s.address().port);s.close()})")
node tests/socketio/server.js --port "$port" --commands no --deflate "${DEFLATE:-no}" >/dev/null &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  node -e "require('net').connect($port,'127.0.0.1').on('connect',()=>process.exit(0)).on('error',()=>process.exit(1))" && break
  sleep 0.1
done
url="ws://127.0.0.1:$port"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ours_rate=(); npm_rate=(); ours_p50=(); npm_p50=(); ours_p99=(); npm_p99=()
for _ in $(seq "$REPETITIONS"); do
  ours_rate+=("$("$BIN" "$url" burst "$N" "$SIZE" | awk '{print $2}')")
  npm_rate+=("$(node tests/socketio/bench_client.js "$url" burst "$N" "$SIZE" | awk '{print $2}')")
  read -r _ p50 p99 < <("$BIN" "$url" latency 200); ours_p50+=("$p50"); ours_p99+=("$p99")
  read -r _ p50 p99 < <(node tests/socketio/bench_client.js "$url" latency 200); npm_p50+=("$p50"); npm_p99+=("$p99")
done
or=$(printf '%s\n' "${ours_rate[@]}" | median); nr=$(printf '%s\n' "${npm_rate[@]}" | median)
o50=$(printf '%s\n' "${ours_p50[@]}" | median); n50=$(printf '%s\n' "${npm_p50[@]}" | median)
o99=$(printf '%s\n' "${ours_p99[@]}" | median); n99=$(printf '%s\n' "${npm_p99[@]}" | median)
awk -v or="$or" -v nr="$nr" -v o50="$o50" -v n50="$n50" -v o99="$o99" -v n99="$n99" -v n="$N" -v size="$SIZE" -v deflate="${DEFLATE:-no}" 'BEGIN {
  printf "burst of %d messages of %d bytes (server deflate %s), messages per second to the callback\n", n, size, deflate
  printf "  ours (page callback)   %10.0f\n  npm socket.io-client   %10.0f\n  ratio ours/npm         %10.2f\n", or, nr, or / nr
  printf "latency of one message, server send to callback (µs)   median      p99\n"
  printf "  ours (page callback)                                %8.1f %8.1f\n", o50, o99
  printf "  npm socket.io-client                                %8.1f %8.1f\n", n50, n99
  printf "  ratio ours/npm                                      %8.2f %8.2f\n", o50 / n50, o99 / n99
}'
