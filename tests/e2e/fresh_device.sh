#!/usr/bin/env bash
# A device folder holding nothing but the user's files still has the device's /tmp, so a folder
# can be zipped and offered on the first run.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
# The app folder is made before the rows are counted, so the order read here is the app's.
# The SDK keeps its data under Library and the binary makes the temporary folder tmp at launch:
# made first too, so the order is known.
mkdir -p "$device/var/mobile/Trip" "$device/var/mobile/Tandrel" "$device/var/mobile/Library" "$device/var/mobile/tmp"
printf 'Day 1: Lisbon\n' > "$device/var/mobile/Trip/Itinerary.txt"

printf 'tap Skip\ntap var\ntap mobile\naccessory %s\n' \
    "$(ls -f "$device/var/mobile" | grep -v '^\.' | grep -nx Trip | cut -d: -f1 | awk '{print $1 - 1}')" > "$work/script"
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err"
cat "$work/out"

fail() { echo "FAILED: $*" >&2; exit 1; }
grep -qF 'item: file:///tmp/Trip.zip' "$work/out" || fail "the zip was not offered"
grep -qF 'alert: "Error"' "$work/out" && fail "zipping failed"
listing="$(unzip -l "$device/tmp/Trip.zip")"
grep -q 'Itinerary.txt' <<< "$listing" || fail "the zip lacks Itinerary.txt"
# A device folder with nothing in it gets the app's temporary folder too.
mkdir "$work/bare"
"$tandrel" --device "$work/bare" --script /dev/null > /dev/null 2>&1 || fail "the bare device did not run"
[ -d "$work/bare/var/mobile/tmp" ] || fail "the temporary folder was not made"
echo "fresh device: ok"
