#!/usr/bin/env bash
# The app's launch to its first screen (a script that only quits, on a small device) beside
# `ls /`, and beside the same launch without the crash reporter, alternately; prints the medians
# and their ratios (aim: the launch within 0.06 s). A run is timed to the process's end, so the
# quit after the first screen (the session's end written, its report handed to the network) counts
# too. The device is the same for every run: the reports that could not be sent pile up in it as
# they would on a device without a network, and each launch tries them again.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
app="$build/app/tandrel"
bench="$build/bench/bench_launch"
[ -x "$app" ] && [ -x "$bench" ] || { echo "launch: $app or $bench is not built"; exit 0; }
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device"
printf 'quit\n' > "$work/script"
# One launch first: the device's folders and the first-launch state are made once.
"$app" --device "$work/device" --script "$work/script" > /dev/null 2>&1

bench_check_ours() { grep -q '^screen: ' "$work/.bench/out.ours" || { echo "launch: no first screen"; exit 1; }; }
ours=("$app" --device "$work/device" --script "$work/script")
peer=(ls /)
echo "launch to the first screen:"
bench_compare "tandrel --script (quit)" "ls /" "the launch within 0.06 s"

ours=("$bench" --device "$work/device" --script "$work/script")
peer=("$bench" --without-reporter --device "$work/device" --script "$work/script")
bench_check_peer() { grep -q '^screen: ' "$work/.bench/out.peer" || { echo "launch: no first screen"; exit 1; }; }
echo "the same launch with the crash reporter and without it:"
bench_compare "with the reporter" "without the reporter"
