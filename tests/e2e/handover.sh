#!/usr/bin/env bash
# Files handed to the app, as AirDrop does: into the inbox, then saved into the app folder with
# "File saved" on a green bar; the file handed over stays as it was on this machine. A name clash
# flashes "Unable to save file"; a missing file or a folder is refused. A hand-over at launch is
# saved before the first command. The Files screen's "received" button lists the saved files in
# a popover, where Edit and a swipe delete them.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents" "$device/tmp" "$device/Applications"
printf 'holiday pictures' > "$work/photos.zip"
printf 'minutes' > "$work/minutes.txt"
mkdir "$work/folder"

# The bar shows its message 0.8 s after a hand-over and is gone 2.5 s later.
cat > "$work/script" <<SCRIPT
tap Skip
wait 1
wait 3
handover $work/photos.zip
wait 1
pixel 300,30
wait 3
handover $work/photos.zip
wait 1
pixel 300,30
wait 3
handover /no/such/file
handover $work/folder
tap received
wait 1
tap Edit
delete 0
SCRIPT

fail() { echo "FAILED: $*" >&2; exit 1; }

status=0
"$tandrel" --device "$device" --handover "$work/minutes.txt" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
# The script runs commands that fail on purpose (the hand-overs of a missing file and a folder): it ends with status 1.
[ "$status" = 1 ] || fail "the script ended with status $status"
expect() { grep -qF -- "$1" "$work/out" || fail "the output never shows: $1"; }

# At launch: saved before the first command, and flashed.
sed '/^> handover/,$d' "$work/out" | grep -qF 'progress: "File saved"' || fail "the launch hand-over did not flash"
[ "$(cat "$device/var/mobile/Tandrel/minutes.txt")" = "minutes" ] || fail "the launch hand-over was not saved"
# The first hand-over: saved, the inbox copy gone, the bar green.
expect 'progress: "File saved"'
expect "300,30: 0 255 0 255"
[ "$(ls -A "$device/var/mobile/Documents/Inbox")" = "photos.zip" ] || fail "the inbox holds more than the clashing copy"
expect "  0: photos.zip"
# The second of the same name clashes: red, and its inbox copy (a free name) is kept.
expect 'progress: "Unable to save file"'
expect "300,30: 255 0 0 255"
[ -f "$device/var/mobile/Documents/Inbox/photos.zip" ] || fail "the clashing inbox copy was removed"
[ "$(cat "$work/photos.zip")" = "holiday pictures" ] || fail "the file of this machine changed"
[ "$(cat "$work/minutes.txt")" = "minutes" ] || fail "the launch file of this machine changed"
expect "error: cannot read /no/such/file: No such file or directory"
expect "error: $work/folder is not a file (only files can be handed over)"
[ ! -e "$device/var/mobile/Documents/Inbox/folder" ] || fail "a folder was handed over"

# A missing file at launch is refused before the app starts.
if "$tandrel" --device "$device" --handover /no/such/file --script /dev/null > "$work/out2" 2> "$work/err2"; then
    fail "a missing file at launch was accepted"
fi
grep -qF "tandrel: cannot read /no/such/file" "$work/err2" || fail "no clear error for a missing file at launch"
# The received files in the popover: listed, and deleted from the disk through Edit.
expect 'nav: "Received Files" | right: [Edit]'
expect "  1: minutes.txt"
expect 'nav: "Received Files" | right: [Done]'
[ ! -e "$device/var/mobile/Tandrel/photos.zip" ] || fail "the deleted received file is still there"
# A URL at launch reaches the app with its sender; --source names another.
"$tandrel" --device "$device" --open "tandrel://www.youtube.com/watch?v=abc" --script /dev/null > "$work/out3" 2> "$work/err3"
grep -qF "URL: tandrel://www.youtube.com/watch?v=abc" "$work/err3" || fail "the URL given at launch never reached the app"
grep -qF "Source: com.apple.mobilesafari" "$work/err3" || fail "the launch URL's default sender is wrong"
printf 'more' > "$work/more.txt"
"$tandrel" --device "$device" --handover "$work/more.txt" --source com.example.mail --script /dev/null > "$work/out4" 2> "$work/err4"
grep -qF "Source: com.example.mail" "$work/err4" || fail "--source did not name the sender"
[ "$(cat "$device/var/mobile/Tandrel/more.txt")" = "more" ] || fail "the second launch hand-over was not saved"
echo "handover: ok"
