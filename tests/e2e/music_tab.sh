#!/usr/bin/env bash
# The Media tab's Music screen through the real binary on the sample device: Send before a song is
# an error; Browse, a song, the export into the app folder, and Send offering the exported file.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/sample_device.bash"

# The export runs in real time: expect waits for its flash.
{ media_screen Music; cat <<'SCRIPT'; } > "$work/script"
tap Send
tap Dismiss
tap Browse
row 0
expect Exported Successfully
wait 3
tap Send
SCRIPT
run_script

expect 'tabs: "Files" | "Files" (disabled) | *"Media"'
expect 'alert: "Error" "You have to browse for a song first!" buttons: [Dismiss]'
expect 'nav: "Songs" | right: [Cancel]'
expect '0: Evening Song'
expect 'progress: "Exported Successfully"'
expect 'item: file:///var/mobile/Tandrel/Evening%20Song.m4a'
expect 'offers: com.apple.UIKit.activity.AirDrop'
# No progress bar comes back once the song is ready.
after="$(sed -n '/progress: "Exported Successfully"/,$p' "$work/out")"
grep -qF 'progress: "Exporting Song..."' <<< "$after" && fail "the bar came back after the export"
[ -s "$device/var/mobile/Tandrel/Evening Song.m4a" ] || fail "no exported song in the app folder"
codec="$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of default=nw=1:nk=1 \
    "$device/var/mobile/Tandrel/Evening Song.m4a")"
[ "$codec" = aac ] || fail "the exported song is not AAC: $codec"

# A quit while the song exports again leaves no piece of the export: the earlier song stays (or the
# new one has replaced it whole), and nothing hidden is left in the app folder.
{ media_screen Music; printf '%s\n' "tap Browse" "row 0" "quit"; } > "$work/script"
run_script > /dev/null
leftover="$(find "$device/var/mobile/Tandrel" -name '.tdpart-*')"
[ -z "$leftover" ] || fail "the quit left ${leftover#"$device"}"
[ -s "$device/var/mobile/Tandrel/Evening Song.m4a" ] || fail "the quit took the earlier song"
echo "music tab: ok"
