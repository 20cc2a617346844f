#!/usr/bin/env bash
# Downloads the same generated body (1 GB unless BENCH_HTTP_BYTES says otherwise) from one loopback
# server with NKHTTPRequestOperation and with `curl -o`, and prints each one's throughput and
# peak memory.
set -euo pipefail
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

measure() {  # name, command...
  local name="$1"; shift
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
  read -r seconds kilobytes <"$work/time"
  awk -v n="$name" -v b="$bytes" -v s="$seconds" -v k="$kilobytes" \
    'BEGIN { printf "%-24s %8.1f MB/s  %7.2f s  peak memory %6.1f MB\n", n, b / s / 1e6, s, k / 1024 }'
  echo "$seconds" >"$work/$name.seconds"
}

measure "NKHTTPRequestOperation" "$bin" --download "$url" "$work/ours.bin"
[ "$(stat -c %s "$work/ours.bin")" = "$bytes" ] || { echo "NKHTTPRequestOperation: wrong size"; exit 1; }
rm -f "$work/ours.bin"
measure "curl -o" curl -s -o "$work/curl.bin" "$url"
[ "$(stat -c %s "$work/curl.bin")" = "$bytes" ] || { echo "curl: wrong size"; exit 1; }
rm -f "$work/curl.bin"
awk -v a="$(cat "$work/NKHTTPRequestOperation.seconds")" -v b="$(cat "$work/curl -o.seconds")" \
  'BEGIN { printf "throughput relative to curl: %.2f\n", b / a }'
