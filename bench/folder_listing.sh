#!/usr/bin/env bash
# Time to the first screen and peak memory of the Files tab on a folder of 100,000 entries, beside
# `ls -f` on the same folder, alternately; prints the medians and their ratio. Memory for the names
# alone is the median peak minus the peak on an empty folder. Then the same folder through the
# whole app: launched, the folder tapped on its first screen, the app quit.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
entries="${FOLDER_LISTING_ENTRIES:-100000}"
bench="$build/bench/bench_folder_listing"
[ -x "$bench" ] || { echo "folder_listing: $bench is not built"; exit 0; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/big" "$work/device/empty"
(cd "$work/device/big" && seq -f 'IMG_%06g.JPG' 1 "$entries" | xargs touch)

# Warm the directory cache once so both tools read the same cached folder.
ls -f "$work/device/big" > /dev/null
ours=("$bench" "$work/device" /big)
peer=(ls -f "$work/device/big")
echo "folder of $entries entries:"
bench_compare "tandrel first screen" "ls -f" "within 3"
echo "  tandrel: $(cat "$work/.bench/out.ours")"
/usr/bin/time -f '%M' -o "$work/empty.kb" "$bench" "$work/device" /empty > /dev/null
awk -v ak="$bench_median_kb_ours" -v ek="$(tail -n 1 "$work/empty.kb")" -v n="$entries" 'BEGIN {
  printf "  memory for the listing: %d KiB, %.0f bytes per entry\n", ak - ek, (ak - ek) * 1024 / n
}'

app="$build/app/tandrel"
[ -x "$app" ] || { echo "folder_listing: $app is not built"; exit 0; }
# The first launch's welcome is passed once, as a person would.
printf 'tap Skip\nquit\n' > "$work/welcome"
"$app" --device "$work/device" --script "$work/welcome" > /dev/null 2>&1
printf 'tap big\nquit\n' > "$work/script"
ours=("$app" --device "$work/device" --script "$work/script")
peer=(ls -f "$work/device/big")
bench_check_ours() {
  grep -q "^rows 0-[0-9]* of $entries:" "$work/.bench/out.ours" || { echo "folder_listing: the app did not list the folder"; exit 1; }
}
echo "the same folder through the app (launched, the folder tapped, quit):"
bench_compare "tandrel launch + listing" "ls -f"
