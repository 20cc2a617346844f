#!/usr/bin/env bash
# The Files tab from start to end through the real binary: browse, send a file, zip a folder
# (the zip checked with unzip -t), delete, and the screens that show each step.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"

mkdir -p "$device/var/mobile/Documents/Trip" "$device/var/mobile/Media/DCIM" "$device/tmp" "$device/Applications"
printf 'Pack the charger.\n' > "$device/var/mobile/Documents/Notes.txt"
printf 'Day 1: Lisbon\n' > "$device/var/mobile/Documents/Trip/Itinerary.txt"
printf 'ticket' > "$device/var/mobile/Documents/Trip/Tickets.pdf"
printf 'old' > "$device/var/mobile/Documents/Old.txt"
printf 'hidden' > "$device/var/mobile/Documents/.hidden"

cat > "$work/script" <<'SCRIPT'
tap Skip
# browse down to the documents
tap var
tap mobile
tap Documents
# send a file through AirDrop
tap Notes.txt
airdrop
# zip a folder and send the zip
accessory 2
airdrop
# delete a file
delete 0
back
SCRIPT
# Rows are listed in the order the file system returns them; find the rows by name instead.
order="$(ls -f "$device/var/mobile/Documents" | grep -v '^\.')"
row_of() { echo "$order" | grep -nx "$1" | cut -d: -f1 | awk '{print $1 - 1}'; }
sed -i "s/^accessory 2$/accessory $(row_of Trip)/; s/^delete 0$/delete $(row_of Old.txt)/" "$work/script"

"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err"
cat "$work/out"

fail() { echo "FAILED: $*" >&2; exit 1; }
expect() { grep -qF -- "$1" "$work/out" || fail "the screens never show: $1"; }

expect 'nav: "/"'
expect 'tabs: *"Files" | "Files" (disabled)'
expect 'nav: "Documents" | back: [< mobile]'
expect 'Notes.txt  [send]'
expect 'Trip  [zip]'
expect 'item: file:///var/mobile/Documents/Notes.txt'
expect 'excluded: com.apple.UIKit.activity.PostToFacebook, com.apple.UIKit.activity.PostToTwitter'
expect 'offers: com.apple.UIKit.activity.AirDrop'
expect 'item: file:///tmp/Trip.zip'
grep -q '\.hidden' "$work/out" && fail "a hidden name is listed"

[ -f "$device/tmp/Trip.zip" ] || fail "no /tmp/Trip.zip"
unzip -t "$device/tmp/Trip.zip" || fail "the zip does not test clean"
# Listed into a variable first: grep -q stops reading at its match, and under pipefail the
# writer's broken pipe would fail the check now and then.
listing="$(unzip -l "$device/tmp/Trip.zip")"
grep -q 'Itinerary.txt' <<< "$listing" || fail "the zip lacks Itinerary.txt"
[ ! -e "$device/var/mobile/Documents/Old.txt" ] || fail "Old.txt was not deleted"
[ -d "$device/var/mobile/Tandrel" ] || fail "the app folder was not made"
# The screen after the deletion lists the folder without the file.
after_delete="$(awk '/^> delete /{on=1; next} /^> /{on=0} on' "$work/out")"
grep -qF 'nav: "Documents"' <<< "$after_delete" || fail "no screen after the deletion"
grep -q 'Old.txt' <<< "$after_delete" && fail "Old.txt is still listed"
echo "files tab: ok"
