#!/usr/bin/env bash
# A user's file named like a temporary is the user's: files of every temporary-like name, of a
# process that is gone, in every folder the app sweeps (the app folder, the inbox, the zips' "/tmp",
# and the shared folders its stores stand in: Library, Preferences, Keychains) and one handed over
# to the app, survive the next launches. A temporary the writers marked as theirs, and a store's
# own temporaries beside it, are what the sweeps take.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
fail() { echo "FAILED: $*" >&2; exit 1; }

# The id of a process that has ended.
gone="$(bash -c 'echo $$')"
names=(".tdpart-$gone.0-1-notes.txt" ".tdpart-$gone.123456-7-Song.m4a" ".clipvane-$gone-1.download"
    "Report.pdf.tmp-$gone-2")
library="$device/var/mobile/Library"
folders=("$device/var/mobile/Tandrel" "$device/var/mobile/Documents/Inbox" "$device/tmp" "$library"
    "$library/Preferences" "$library/Keychains")
for folder in "${folders[@]}"; do
    mkdir -p "$folder"
    for name in "${names[@]}"; do echo "the user's $name" > "$folder/$name"; done
done
# What the stores themselves left when a run of theirs was killed: their own temporaries.
owned=("$library/VendorIdentifiers.plist.tmp-$gone-5" "$library/.tdpart-$gone.0-6-VendorIdentifiers.plist"
    "$library/Preferences/org.harborstack.tandrel.plist.tmp-$gone-5"
    "$library/Preferences/.tdpart-$gone.0-6-org.harborstack.tandrel.plist")
for file in "${owned[@]}"; do echo "a store's own" > "$file"; done
# One more arrives as AirDrop brings it.
handed=".clipvane-$gone-9.download"
echo "handed over" > "$work/$handed"
printf 'tap Skip\nwait 1\n' > "$work/script"
"$tandrel" --device "$device" --handover "$work/$handed" --script "$work/script" > "$work/out" 2> "$work/err"
grep -qF 'File saved' "$work/out" || fail "the hand-over was not saved"
for launch in 1 2; do
    "$tandrel" --device "$device" --script /dev/null > "$work/out" 2> "$work/err"
done
for folder in "${folders[@]}"; do
    for name in "${names[@]}"; do
        [ "$(cat "$folder/$name" 2> /dev/null)" = "the user's $name" ] || fail "${folder#"$device"}/$name was swept"
    done
done
[ "$(cat "$device/var/mobile/Tandrel/$handed" 2> /dev/null)" = "handed over" ] || fail "the handed-over $handed was swept"
for file in "${owned[@]}"; do
    [ ! -e "$file" ] || fail "${file#"$device"} was left by its store"
done
echo "temporary_decoys: ok"
