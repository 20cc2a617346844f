#!/usr/bin/env bash
# Time to the first screen and peak memory of the Files tab on a folder of 100,000 entries,
# beside `ls -f` on the same folder, in one run. Memory for the names alone is the peak minus the
# peak on an empty folder.
set -euo pipefail
build="$1"
entries="${FOLDER_LISTING_ENTRIES:-100000}"
bench="$build/bench/bench_folder_listing"
[ -x "$bench" ] || { echo "folder_listing: $bench is not built"; exit 0; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/big" "$work/device/empty"
(cd "$work/device/big" && seq -f 'IMG_%06g.JPG' 1 "$entries" | xargs touch)

# Wall time from bash's microsecond clock (finer than time's hundredths), peak memory from time.
measure() { # label, command...
  local label="$1"; shift
  local start="$EPOCHREALTIME"
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" > "$work/out"
  local end="$EPOCHREALTIME"
  read -r _ kilobytes < "$work/time"
  echo "$label $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }') $kilobytes"
}

# Warm the directory cache once so both tools read the same cached folder.
ls -f "$work/device/big" > /dev/null
read -r _ ls_s ls_kb <<< "$(measure ls ls -f "$work/device/big")"
read -r _ app_s app_kb <<< "$(measure app "$bench" "$work/device" /big)"
app_line="$(cat "$work/out")"
read -r _ empty_s empty_kb <<< "$(measure empty "$bench" "$work/device" /empty)"

echo "folder of $entries entries:"
printf '  ls -f          %7.4f s  peak %7d KiB\n' "$ls_s" "$ls_kb"
printf '  tandrel        %7.4f s  peak %7d KiB  (%s)\n' "$app_s" "$app_kb" "$app_line"
printf '  tandrel empty  %7.4f s  peak %7d KiB\n' "$empty_s" "$empty_kb"
awk -v a="$app_s" -v l="$ls_s" -v ak="$app_kb" -v ek="$empty_kb" -v n="$entries" 'BEGIN {
  ratio = (l > 0) ? a / l : 0
  printf "  time: %.2f x ls -f (aim: within 3x)\n", ratio
  printf "  memory for the listing: %d KiB, %.0f bytes per entry\n", ak - ek, (ak - ek) * 1024 / n
}'
