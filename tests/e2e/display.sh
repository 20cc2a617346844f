#!/usr/bin/env bash
# The stand-in display through the real binary: a screenshot of the Files tab is a 640 by 1136 PNG
# and single pixels read the navigation bar, the tab bar and a row; a point off the screen and a
# file in a missing folder are refused and change nothing. The screen follows a screenshot as it
# does every command, and the script, saved with a byte-order mark, reads as one without.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents" "$device/tmp" "$device/Applications"

printf '\xef\xbb\xbf' > "$work/script"
cat >> "$work/script" <<SCRIPT
tap Skip
screenshot $work/screen.png
pixel 20,40
pixel 20,540
pixel 300,400
pixel 999,999
screenshot /no/such/dir/a.png
pixel 20,40
SCRIPT

fail() { echo "FAILED: $*" >&2; exit 1; }
status=0
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
# The script runs commands that fail on purpose (the pixel off the screen and the screenshot nowhere): it ends with status 1.
[ "$status" = 1 ] || fail "the script ended with status $status"

expect() { grep -qF -- "$1" "$work/out" || fail "the output never shows: $1"; }

expect "screenshot $work/screen.png: 640 by 1136 pixels"
[ -f "$work/screen.png" ] || fail "no screenshot written"
header="$(od -An -tx1 -N24 "$work/screen.png" | tr -d ' \n')"
[ "${header:0:16}" = "89504e470d0a1a0a" ] || fail "the screenshot is not a PNG"
[ "${header:32:16}" = "0000028000000470" ] || fail "the screenshot is not 640 by 1136"
grep -A1 -F "screenshot $work/screen.png: 640 by 1136 pixels" "$work/out" | grep -q '^screen: ' || fail "no screen followed the screenshot"
! grep -q '^error' <<< "$(sed -n '1,/^> screenshot/p' "$work/out")" || fail "the first command, after the byte-order mark, failed"

expect "20,40: 91 165 255 255"
expect "20,540: 42 42 42 255"
expect "300,400: 255 255 255 255"
expect "error: 999,999 lies outside the screen (320 by 568 points)"
expect "error: cannot write /no/such/dir/a.png: No such file or directory"
[ ! -e /no/such/dir/a.png ] || fail "a screenshot appeared in a missing folder"
# The refused commands changed nothing: the bar reads the same after them.
[ "$(grep -cF '20,40: 91 165 255 255' "$work/out")" = 2 ] || fail "the screen changed after a refused command"
echo "display: ok"
