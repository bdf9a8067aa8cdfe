#!/usr/bin/env bash
# corvdb serve's POST /v1/standardize in batches of 100 addresses against
# corvdb standardize on the same addresses, on the same database, one after
# the other (loopback, bounded time).
#
#   bench/serve/standardize.sh BUILD_DIR [SECONDS=10] [RECORDS=1000000]
#
# The addresses are standardize_bench's labelled noisy set (20,000). The
# command runs with its default two threads; the service with --threads 2
# and wrk holding 2 connections (2 wrk threads), so both use the two cores.
set -euo pipefail
build=$(realpath "${1:?build directory}")
seconds=${2:-10}
records=${3:-1000000}
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "${TMPDIR:-/tmp}/corvdb-std-bench-XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then kill -TERM "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/corvdb" sample --out "$work/src" --records "$records" >/dev/null 2>&1
"$build/bin/corvdb" build --zip4 "$work/src/zip4.txt" --citystate "$work/src/ctystate.txt" --out "$work/db/zip.cvd" -q
rm -rf "$work/src"
"$build/bin/standardize_bench" "$work/db" --addresses 20000 --threads 1 --write-set "$work/set.csv" >/dev/null
/usr/bin/python3 - "$work/set.csv" "$work/bodies.txt" <<'PY'
import csv, json, sys
rows = [r["address"] for r in csv.DictReader(open(sys.argv[1], newline="", encoding="utf-8"))]
with open(sys.argv[2], "w", encoding="utf-8") as out:
    for i in range(0, len(rows) - 99, 100):
        out.write(json.dumps(rows[i:i + 100]) + "\n")
PY

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
start=$(date +%s.%N)
"$build/bin/corvdb" standardize --data "$work/db" --in "$work/set.csv" --out "$work/out.csv" 2>/dev/null
end=$(date +%s.%N)
rows=$(($(wc -l < "$work/set.csv") - 1))
awk -v n="$rows" -v a="$start" -v b="$end" \
  'BEGIN { printf "corvdb standardize: %d addresses in %.2f s (start-up included): %.0f addresses/s\n", n, b - a, n / (b - a) }'

"$build/bin/corvdb" serve --data "$work/db" --listen 127.0.0.1:0 --threads 2 2> "$work/serve.log" &
server=$!
for _ in $(seq 100); do grep -q "listening on" "$work/serve.log" && break; sleep 0.1; done
port=$(grep -o 'listening on http://127.0.0.1:[0-9]*' "$work/serve.log" | grep -o '[0-9]*$')
BODIES="$work/bodies.txt" wrk -t2 -c2 -d"${seconds}s" --latency -s "$here/standardize_batches.lua" \
  "http://127.0.0.1:$port" | tail -3
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
