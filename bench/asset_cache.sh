#!/usr/bin/env bash
# Fills the ad asset cache with 200 assets of 256 KB (BENCH_ASSET_COUNT, BENCH_ASSET_BYTES) from one
# loopback server (lookups, the load queue of three, the index and all; its limit above their
# total), and downloads the same URLs with `curl --parallel --parallel-max 3` into files,
# alternately; prints the medians of time and peak memory and their ratio.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
bin="$build/bench/bench_asset_cache"
count="${BENCH_ASSET_COUNT:-200}"
bytes="${BENCH_ASSET_BYTES:-262144}"
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
prefix="http://127.0.0.1:$port/media/v/a"

mkdir -p "$work/curl"
for i in $(seq 0 $((count - 1))); do
  printf 'url = "%s%d.mp4"\noutput = "%s/curl/a%d.mp4"\n' "$prefix" "$i" "$work" "$i"
done >"$work/curl.config"

ours=("$bin" --cache "$prefix" "$count" "$work/device")
peer=(curl -s --no-progress-meter --parallel --parallel-max 3 -K "$work/curl.config")
bench_before_each() { rm -rf "$work/device" "$work/curl"; mkdir -p "$work/device" "$work/curl"; }
bench_check_ours() {
  local stored
  stored="$(find "$work/device" -path '*/asset_cache/*' -name '*.mp4' -size "${bytes}c" | wc -l)"
  [ "$stored" = "$count" ] || { echo "asset cache: $stored of $count assets stored"; exit 1; }
}
bench_check_peer() {
  local stored
  stored="$(find "$work/curl" -name '*.mp4' -size "${bytes}c" | wc -l)"
  [ "$stored" = "$count" ] || { echo "curl: $stored of $count files"; exit 1; }
}
echo "$count assets of $((bytes / 1024)) KB over loopback, three at a time:"
bench_compare "asset cache" "curl --parallel-max 3" "at most 1.5"
