#!/usr/bin/env bash
# Posts the same file as a multipart form (1 GB unless BENCH_MULTIPART_BYTES says otherwise, and a
# quarter-size run beside it, so that peak memory can be seen not to grow with the file) to one
# loopback server that discards the body, with NKHTTPSessionManager and with `curl -F`, alternately;
# prints the medians of each one's time and peak memory and their throughput ratio.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
bin="$build/bench/bench_http_multipart"
full="${BENCH_MULTIPART_BYTES:-1073741824}"
work="$(mktemp -d)"
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin" --serve >"$work/port" &
server=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port="$(head -n1 "$work/port")"
url="http://127.0.0.1:$port/upload"

# The server answers {"received":N}; a whole form is the file and its few hundred bytes of framing.
received_enough() { # output file, label
  local n
  n="$(grep -o '"received":[0-9]*' "$1" | tail -n1 | cut -d: -f2 || true)"
  [ -n "$n" ] && [ "$n" -gt "$bytes" ] || { echo "$2: the server did not receive the whole form"; exit 1; }
}
bench_check_ours() { grep -o 'NKHTTPSessionManager: [0-9]*' "$bench_work/out.ours" | sed 's/.*: /"received":/' > "$work/got"; received_enough "$work/got" NKHTTPSessionManager; }
bench_check_peer() { received_enough "$bench_work/out.peer" "curl -F"; }

for bytes in $((full / 4)) "$full"; do
  file="$work/upload.bin"
  head -c "$bytes" /dev/urandom > "$file"
  ours=("$bin" --post "$url" "$file")
  peer=(curl -s -F "file=@$file" "$url")
  echo "multipart POST of a $((bytes / 1048576)) MB file over loopback:"
  bench_compare "NKHTTPSessionManager" "curl -F"
  awk -v a="$bench_median_seconds_ours" -v b="$bench_median_seconds_peer" -v n="$bytes" -v ka="$bench_median_kb_ours" 'BEGIN {
    printf "  throughput (median): ours %.1f MB/s, curl %.1f MB/s; ours relative to curl: %.2f (aim: at least 0.8)\n", n / a / 1e6, n / b / 1e6, b / a
    printf "  peak memory of ours at %d MB: %.0f KiB (aim: the same at every size)\n", n / 1048576, ka
  }'
  rm -f "$file"
done
