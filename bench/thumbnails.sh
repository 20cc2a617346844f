#!/usr/bin/env bash
# A camera roll of 200 photos of 4032 × 3024 (BENCH_PHOTO_COUNT), made once per run: their square
# thumbnails of 150 pixels through the photo library (ALAsset's thumbnail, each written as a JPEG),
# beside `vipsthumbnail` cropping the same files to the same squares, alternately; prints the
# medians and their ratio; then beside as many `vipsthumbnail` processes as the bench may use
# cores, each given its share of the photos. Memory should not follow the number of photos: the
# peaks are also taken for 50 of them (BENCH_PHOTO_FEW) and the differences printed. Last, the asset picker's
# time to its first screen: the Camera Roll's grid opened and painted with its thumbnails.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
count="${BENCH_PHOTO_COUNT:-200}"
few="${BENCH_PHOTO_FEW:-50}"
[ "$few" -le "$count" ] || few="$count"
bin="$build/bench/bench_thumbnails"
[ -x "$bin" ] || { echo "thumbnails: $bin is not built"; exit 0; }
command -v vipsthumbnail >/dev/null || { echo "thumbnails: vipsthumbnail is missing (scripts/install-deps)"; exit 0; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Two devices: all the photos, and the first few of them (second links, no copies).
device="$work/device"
dcim="$device/var/mobile/Media/DCIM/100APPLE"
few_device="$work/few"
few_dcim="$few_device/var/mobile/Media/DCIM/100APPLE"
mkdir -p "$dcim" "$few_dcim" "$work/out"
"$bin" --photos "$dcim" "$count"
for photo in $(cd "$dcim" && ls | head -n "$few"); do ln "$dcim/$photo" "$few_dcim/$photo"; done
# Read once, so both sides read from the page cache.
cat "$dcim"/* > /dev/null

thumbnail_command() { # SIDE DEVICE: the command of that side for the photos of that device
    if [ "$1" = ours ]; then echo "$bin" --library "$2" "$work/out"
    else echo vipsthumbnail --size 150x150 --smartcrop centre -o "$work/out/%s.jpg[Q=90]" "$2"/var/mobile/Media/DCIM/100APPLE/*.JPG
    fi
}
# Every photo gives one square of 150 pixels.
check_thumbnails() { # LABEL
    local made size
    made="$(find "$work/out" -name '*.jpg' | wc -l)"
    [ "$made" = "$expected" ] || { echo "$1: $made of $expected thumbnails"; exit 1; }
    size="$(vipsheader -f width "$(find "$work/out" -name '*.jpg' | head -n 1)")x$(vipsheader -f height "$(find "$work/out" -name '*.jpg' | head -n 1)")"
    [ "$size" = 150x150 ] || { echo "$1: a thumbnail of $size pixels"; exit 1; }
}
bench_before_each() { rm -rf "$work/out"; mkdir -p "$work/out"; }
bench_check_ours() { check_thumbnails "the library"; }
bench_check_peer() { check_thumbnails vipsthumbnail; }

expected="$count"
read -r -a ours <<< "$(thumbnail_command ours "$device")"
read -r -a peer <<< "$(thumbnail_command peer "$device")"
echo "square thumbnails of 150 pixels from $count photos of 4032 x 3024:"
bench_compare "photo library (ALAsset)" "vipsthumbnail" "at most 0.5 on 8 cores"
many_ours="$bench_median_kb_ours" many_peer="$bench_median_kb_peer"

# The same photos split among as many vipsthumbnail processes as this bench may use cores.
cores="$(nproc)"
peer=(sh -c 'cd "$1" && ls | xargs -P "$2" -n "$3" vipsthumbnail --size 150x150 --smartcrop centre -o "$4/%s.jpg[Q=90]"' sh
      "$dcim" "$cores" "$(( (count + cores - 1) / cores ))" "$work/out")
echo "the same beside $cores vipsthumbnail processes at once:"
bench_compare "photo library (ALAsset)" "$cores x vipsthumbnail" "at most 1.0"

# The peaks for the few photos: one run of each side.
expected="$few"
for side in ours peer; do
    bench_before_each
    read -r -a command <<< "$(thumbnail_command "$side" "$few_device")"
    /usr/bin/time -f '%M' -o "$work/few.$side" "${command[@]}" > /dev/null
    check_thumbnails "$side"
done
awk -v few="$few" -v count="$count" -v ours_few="$(tail -n 1 "$work/few.ours")" -v ours_many="$many_ours" \
    -v peer_few="$(tail -n 1 "$work/few.peer")" -v peer_many="$many_peer" 'BEGIN {
  printf "  peak memory at %d and %d photos: library %d and %d KiB (%+d), vipsthumbnail %d and %d KiB (%+d)\n",
         few, count, ours_few, ours_many, ours_many - ours_few, peer_few, peer_many, peer_many - peer_few
}'

# The grid's first screen, in each of as many fresh processes; its log lines are not the output.
for _ in $(seq 1 "$BENCH_RUNS"); do
    "$bin" --grid "$device" > "$work/grid.run" 2>> "$work/log" || { echo "the grid did not show its first screen"; cat "$work/grid.run"; exit 1; }
    cat "$work/grid.run" >> "$work/grid"
done
sed -n 's/^first screen: \([0-9.]*\) ms.*/\1/p' "$work/grid" > "$work/grid.ms"
printf '  the Camera Roll grid of %d photos, first screen painted (median of %d): %s ms   (%s)\n' "$count" "$BENCH_RUNS" \
    "$(bench_median "$work/grid.ms")" "$(sed -n 's/^first screen: [0-9.]* ms[^,]*, //p' "$work/grid" | head -n 1)"
