#!/usr/bin/env bash
# Downloads the same generated body (1 GB unless BENCH_HTTP_BYTES says otherwise) from one loopback
# server with NKHTTPRequestOperation and with `curl -o`, alternately, and prints the medians of each
# one's time and peak memory and their throughput ratio.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
bin="$build/bench/bench_http_download"
bytes="${BENCH_HTTP_BYTES:-1073741824}"
work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin" --serve "$bytes" >"$work/port" &
server=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port="$(head -n1 "$work/port")"
url="http://127.0.0.1:$port/blob"

ours=("$bin" --download "$url" "$work/ours.bin")
peer=(curl -s -o "$work/curl.bin" "$url")
bench_check_ours() { [ "$(stat -c %s "$work/ours.bin")" = "$bytes" ] || { echo "NKHTTPRequestOperation: wrong size"; exit 1; }; rm -f "$work/ours.bin"; }
bench_check_peer() { [ "$(stat -c %s "$work/curl.bin")" = "$bytes" ] || { echo "curl: wrong size"; exit 1; }; rm -f "$work/curl.bin"; }
echo "download of $((bytes / 1048576)) MB over loopback into a file:"
bench_compare "NKHTTPRequestOperation" "curl -o"
awk -v a="$bench_median_seconds_ours" -v b="$bench_median_seconds_peer" -v n="$bytes" 'BEGIN {
  printf "  throughput (median): ours %.1f MB/s, curl %.1f MB/s; ours relative to curl: %.2f (aim: at least 0.9)\n", n / a / 1e6, n / b / 1e6, b / a
}'
