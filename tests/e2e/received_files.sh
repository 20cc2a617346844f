#!/usr/bin/env bash
# The received-files popover on screen: a handed-over file saved and flashed green; the popover's
# bubble and the dimmed screen beside it as pixels; a file's row opens the document menu with
# AirDrop and the installed app that opens text, whose choice hands the file over; Edit and a
# swipe delete it from the disk; a touch outside the bubble closes the popover.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents" "$device/tmp" "$device/Applications/Reader.app" "$device/Applications/Player.app"
app_plist() { # identifier, name, content type
    cat <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>$1</string>
<key>CFBundleDisplayName</key><string>$2</string>
<key>CFBundleDocumentTypes</key><array><dict><key>CFBundleTypeName</key><string>Documents</string>
<key>LSItemContentTypes</key><array><string>$3</string></array></dict></array>
</dict></plist>
PLIST
}
app_plist com.example.reader Reader public.text > "$device/Applications/Reader.app/Info.plist"
app_plist com.example.player Player public.audio > "$device/Applications/Player.app/Info.plist"
printf 'meeting notes' > "$work/notes.txt"

cat > "$work/script" <<SCRIPT
tap Skip
wait 5
pixel 3,300
handover $work/notes.txt
wait 1
pixel 160,30
wait 5
tap received
wait 1
pixel 290,60
pixel 3,300
row 0
complete Player
complete Reader
tap Edit
delete 0
touch 3,300
wait 1
pixel 3,300
SCRIPT

fail() { echo "FAILED: $*" >&2; exit 1; }
status=0
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
# The script runs commands that fail on purpose (the refused choice): it ends with status 1.
[ "$status" = 1 ] || fail "the script ended with status $status"
expect() { grep -qF -- "$1" "$work/out" || fail "the output never shows: $1"; }
after() { sed -n "/^> $1\$/,/^> /p" "$work/out"; }

# Saved, flashed green, and the inbox copy gone.
expect 'progress: "File saved"'
expect "160,30: 0 255 0 255"
[ -z "$(ls -A "$device/var/mobile/Documents/Inbox")" ] || fail "the inbox copy is still there"
# The popover: its bubble's arrow under the received button, the screen beside it dimmed.
after "tap received" | grep -qF "popover:" || fail "the received button showed no popover"
after "tap received" | grep -qF "  0: notes.txt" || fail "the popover does not list the saved file"
expect "290,60: 244 244 244 255"
[ "$(grep -c '^3,300: 255 255 255 255$' "$work/out")" = 2 ] || fail "the screen beside the bubble was not white before and after"
expect "3,300: 217 217 217 255"
# The document menu: AirDrop and the app for text only; its choice hands the file over.
expect 'menu: "notes.txt" file:///var/mobile/Tandrel/notes.txt offers: AirDrop, Open in Reader'
grep -qF "Open in Player" "$work/out" && fail "the audio app was offered a text file"
expect 'error: the document menu does not offer "Player"'
expect "handed: com.example.reader file:///var/mobile/Tandrel/notes.txt"
[ "$(grep -c '^handed: ' "$work/out")" = 1 ] || fail "the hand-over was not shown once"
after "complete Reader" | grep -qF "menu:" && fail "the menu stayed after its choice"
# Edit and a swipe delete the file from the disk.
expect 'nav: "Received Files" | right: [Done]'
[ ! -e "$device/var/mobile/Tandrel/notes.txt" ] || fail "the deleted file is still in the app folder"
# A touch outside the bubble closes the popover, and is not an error.
after "touch 3,300" | grep -q "^error" && fail "the closing touch was reported as an error"
sed -n '/^> touch 3,300$/,$p' "$work/out" | grep -qF "popover:" && fail "the popover stayed after a touch outside it"
echo "received_files: ok"
