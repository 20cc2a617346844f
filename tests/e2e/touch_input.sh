#!/usr/bin/env bash
# Fingers on the screen through the real binary: a touch on a folder's row opens the folder; a
# drag across rows, a twist and a turn of the device open nothing; malformed or off-screen points
# are errors that leave the screen as it was.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents/Trip" "$device/var/mobile/Documents/Music" "$device/tmp"
printf 'note' > "$device/var/mobile/Documents/Notes.txt"

# Rows are 44 points high under the 64 points of status and navigation bar; rows are listed in
# the order the file system returns them, so the script finds a row's centre by name.
centre_of() { # folder, name
    local row
    row="$(ls -f "$1" | grep -v '^\.' | grep -nx "$2" | cut -d: -f1)"
    echo $((64 + 44 * (row - 1) + 22))
}
cat > "$work/script" <<SCRIPT
tap Skip
tap var
tap mobile
tap Documents
screen
touch x
drag 1,1
touch 1,2,3
touch 320,10
drag 10,100 10,300 0
twist 160,300 90
rotate left
rotate portrait
rotate sideways
drag 160,$(centre_of "$device/var/mobile/Documents" Trip) 160,500 4
screen
touch 160,$(centre_of "$device/var/mobile/Documents" Trip)
SCRIPT

fail() { echo "FAILED: $*" >&2; exit 1; }
status=0
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
# The script runs commands that fail on purpose (the bad points and gestures): it ends with status 1.
[ "$status" = 1 ] || fail "the script ended with status $status"

expect() { grep -qF -- "$1" "$work/out" || fail "the screens never show: $1"; }

expect 'error: not a point: "x" (touch X,Y)'
expect 'error: drag needs two points: drag X,Y X,Y [STEPS]'
expect 'error: not a point: "1,2,3" (touch X,Y)'
expect 'error: 320,10 lies off the screen (320 by 568 points)'
expect 'error: the steps of a drag are a whole number from 1 to 1000'
expect 'error: rotate portrait, upside-down, left or right'
# Everything before the last touch left the Documents folder on screen.
[ "$(grep -c 'nav: "Documents"' "$work/out")" -ge 13 ] || fail "an error or a gesture changed the screen"
grep -qF 'nav: "Trip" | back: [< Documents]' "$work/out" || fail "touching the Trip row did not open it"
[ "$(grep -c 'nav: "Trip"' "$work/out")" -eq 1 ] || fail "the drag across the rows opened a folder"
echo "touch input: ok"
