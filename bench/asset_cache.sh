#!/usr/bin/env bash
# Fills the ad asset cache with 200 assets of 256 KB (BENCH_ASSET_COUNT, BENCH_ASSET_BYTES) from one
# loopback server (lookups, the load queue of three, the index and all; its limit above their
# total), and downloads the same URLs with `curl --parallel --parallel-max 3` into files,
# alternately; prints the medians of time and peak memory and their ratio. Then the cost per
# asset as the cache grows: 1000 assets of 16 KB beside 100 of them (BENCH_SCALE_SMALL,
# BENCH_SCALE_LARGE), alternately; the ratio of the times should stay near the ratio of the counts.
# Last the peak memory with 3000 assets queued at once (BENCH_MEMORY_ASSETS) beside 100.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
bin="$build/bench/bench_asset_cache"
count="${BENCH_ASSET_COUNT:-200}"
bytes="${BENCH_ASSET_BYTES:-262144}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
servers=()
cleanup() {
  for server in "${servers[@]}"; do kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# serve BYTES NAME: starts a server of BYTES-long assets; its URL prefix goes into NAME.
serve() {
  local -n into="$2"
  "$bin" --serve "$1" >"$work/port.$1" &
  servers+=($!)
  for _ in $(seq 1 100); do [ -s "$work/port.$1" ] && break; sleep 0.05; done
  [ -s "$work/port.$1" ] || { echo "asset cache: the server did not start"; exit 1; }
  into="http://127.0.0.1:$(head -n1 "$work/port.$1")/media/v/a"
}
serve "$bytes" prefix

for i in $(seq 0 $((count - 1))); do
  printf 'url = "%s%d.mp4"\noutput = "%s/curl/a%d.mp4"\n' "$prefix" "$i" "$work" "$i"
done >"$work/curl.config"

ours=("$bin" --cache "$prefix" "$count" "$work/device")
peer=(curl -s --no-progress-meter --parallel --parallel-max 3 -K "$work/curl.config")
# Every run writes into folders of its own, and nothing is removed until its comparison ends: on ext4
# without a journal, each new inode is found by stepping over every inode deleted in the last minute
# (five more while its table block is unwritten), so runs after deletions measure the deletions,
# and a side that makes more files pays for them more. $work/device and $work/curl lead to the
# current run's folders.
run=0
bench_before_each() {
  run=$((run + 1))
  mkdir -p "$work/runs/$run/device" "$work/runs/$run/curl"
  ln -sfn "$work/runs/$run/device" "$work/device"
  ln -sfn "$work/runs/$run/curl" "$work/curl"
}
bench_check_ours() {
  local stored
  stored="$(find "$work/device/" -path '*/asset_cache/*' -name '*.mp4' -size "${bytes}c" | wc -l)"
  [ "$stored" = "$count" ] || { echo "asset cache: $stored of $count assets stored"; exit 1; }
}
bench_check_peer() {
  local stored
  stored="$(find "$work/curl/" -name '*.mp4' -size "${bytes}c" | wc -l)"
  [ "$stored" = "$count" ] || { echo "curl: $stored of $count files"; exit 1; }
}
echo "$count assets of $((bytes / 1024)) KB over loopback, three at a time:"
bench_compare "asset cache" "curl --parallel-max 3" "at most 1.5"
# About 100 MB a round so far: they go now. The stages after this one compare ours with ours, the
# two sides in alternation, so the deletions weigh on both alike.
rm -rf "$work/runs"

small="${BENCH_SCALE_SMALL:-100}"
large="${BENCH_SCALE_LARGE:-1000}"
serve 16384 scale_prefix
ours=("$bin" --cache "$scale_prefix" "$large" "$work/device")
peer=("$bin" --cache "$scale_prefix" "$small" "$work/curl")
bench_check_ours() { :; }
bench_check_peer() { :; }
echo "$large assets of 16 KB beside $small of them (the cost per asset as the cache grows):"
bench_compare "$large assets" "$small assets" "at most 12 for 1000 beside 100"

many="${BENCH_MEMORY_ASSETS:-3000}"
ours=("$bin" --cache "$scale_prefix" "$many" "$work/device")
echo "$many assets of 16 KB queued at once beside $small of them (the memory they take):"
bench_compare "$many assets" "$small assets"
awk -v kb="$bench_median_kb_ours" -v n="$many" 'BEGIN {
  printf "  peak memory with %d assets queued: %.1f MiB (aim: under 50 MiB)\n", n, kb / 1024
}'
