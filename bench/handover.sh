#!/usr/bin/env bash
# A file handed over (BENCH_HANDOVER_MB, 512 MB by default): the app's handler copying it from the
# inbox into the app folder, beside `cp` of the same file into the same folder, alternately; prints
# the medians and their ratio. Memory should not follow the file's size: the peak is also taken
# for a 1 MB file, and the difference printed.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
megabytes="${BENCH_HANDOVER_MB:-512}"
bench="$build/bench/bench_handover"
[ -x "$bench" ] || { echo "handover: $bench is not built"; exit 0; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
inbox="$device/var/mobile/Documents/Inbox"
folder="$device/var/mobile/Tandrel"
mkdir -p "$inbox" "$folder"
head -c "$((megabytes * 1024 * 1024))" /dev/urandom > "$work/movie.mov"
head -c $((1024 * 1024)) /dev/urandom > "$work/small.mov"

# Each run starts from the same state: the file in the inbox (a second link to it, which costs
# no copy) and nothing in the app folder. The handler removes its inbox link; cp leaves it.
bench_before_each() {
    rm -f "$folder/movie.mov" "$inbox/movie.mov"
    ln "$work/movie.mov" "$inbox/movie.mov"
}
bench_check_ours() {
    cmp -s "$work/movie.mov" "$folder/movie.mov" || { echo "the handler's copy differs"; exit 1; }
    sed -n 's/^handler: \([0-9.]*\) ms.*/\1/p' "$bench_work/out.ours" >> "$work/handler.ms"
}
bench_check_peer() { cmp -s "$work/movie.mov" "$folder/movie.mov" || { echo "cp's copy differs"; exit 1; }; }
# Read once, so both sides copy from the page cache.
cat "$work/movie.mov" > /dev/null
ours=("$bench" "$device" movie.mov)
peer=(cp "$inbox/movie.mov" "$folder/movie.mov")
echo "a file of $megabytes MB handed over:"
# The app's log lines (one per hand-over) are not the bench's output.
bench_compare "tandrel (whole process)" "cp" "within 1.2" 2> "$work/log"
awk -v ms="$(bench_median "$work/handler.ms")" -v cp="$bench_median_seconds_peer" 'BEGIN {
  printf "  the handler alone (median): %.4f s, ratio to cp: %.2f (the app stands still this long)\n", ms / 1000, ms / 1000 / cp
}'

ln "$work/small.mov" "$inbox/small.mov"
/usr/bin/time -f '%M' -o "$work/small.kb" "$bench" "$device" small.mov > /dev/null 2>> "$work/log"
awk -v big="$bench_median_kb_ours" -v small="$(tail -n 1 "$work/small.kb")" -v mb="$megabytes" 'BEGIN {
  printf "  peak memory: %d KiB for %d MB, %d KiB for 1 MB: %+d KiB for the larger file\n", big, mb, small, big - small
}'
