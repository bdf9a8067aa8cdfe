#!/usr/bin/env bash
# Throughput of corvdb serve: wrk against GET /v1/zip4/CODE with random
# existing ZIP+4 codes, on loopback, for a bounded time.
#
#   bench/serve/run.sh BUILD_DIR [SECONDS=10] [CONNECTIONS=8] [RECORDS=300000]
#
# Builds a sample database of RECORDS records in a temporary folder, lists
# 20,000 of its single-add-on ZIP+4 codes, starts corvdb serve on a free port
# with --threads CONNECTIONS, runs wrk (2 threads) and prints requests/s and
# the 99th percentile; the server is stopped with SIGTERM at the end.
set -euo pipefail
build=${1:?build directory}
seconds=${2:-10}
connections=${3:-8}
records=${4:-300000}
corvdb=$(realpath "$build")/bin/corvdb
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "${TMPDIR:-/tmp}/corvdb-serve-bench-XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then kill -TERM "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$corvdb" sample --out "$work/src" --records "$records" >/dev/null 2>&1
"$corvdb" build --zip4 "$work/src/zip4.txt" --citystate "$work/src/ctystate.txt" --out "$work/db/zip.cvd" -q
# ZIP code at 1-5, add-on low and high at 140-147 (0-based) of each record.
awk 'substr($0,1,1)=="D" { lo=substr($0,141,4); hi=substr($0,145,4);
       if (lo==hi && lo ~ /^[0-9]+$/) print substr($0,2,5) "-" lo }' "$work/src/zip4.txt" |
  sort -u | shuf -n 20000 --random-source=<(yes) > "$work/codes.txt"

"$corvdb" serve --data "$work/db" --listen 127.0.0.1:0 --threads "$connections" 2> "$work/serve.log" &
server=$!
for _ in $(seq 100); do grep -q "listening on" "$work/serve.log" && break; sleep 0.1; done
port=$(grep -o 'listening on http://127.0.0.1:[0-9]*' "$work/serve.log" | grep -o '[0-9]*$')
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
CODES="$work/codes.txt" wrk -t2 -c"$connections" -d"${seconds}s" --latency -s "$here/zip4_random.lua" \
  "http://127.0.0.1:$port" | tail -3
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
