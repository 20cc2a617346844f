#!/usr/bin/env bash
# The Media tab's Videos screen through the real binary on the sample device: the library button
# picks one video (a second one is refused) and, a second after Done, the AirDrop sheet offers its
# library URL; the camera button records a clip of the time between Record and Stop and offers the
# clip's file, or the part of it its trim step keeps; a denied library shows the no-access message.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/sample_device.bash"

# The panel's two buttons are pictures without text: the camera's centre is at 160,162 and the
# library's at 160,332 on the phone's screen.
{ media_screen Videos; cat <<'SCRIPT'; } > "$work/script"
touch 160,332
wait 1
tap Camera Roll
item 0
item 1
tap Done
wait 1
cancel
touch 160,162
wait 1
tap Record
wait 2
tap Stop
tap Use Video
wait 1
cancel
touch 160,162
wait 1
tap Record
wait 2
tap Stop
drag 308,62 160,62
tap Use Video
wait 1
cancel
photos deny
touch 160,332
wait 1
SCRIPT
run_script

# What the screen shows after a command and before the next.
after() { awk -v cmd="> $1" 'found && /^> /{exit} found{print} $0 == cmd{found=1}' "$work/out"; }

expect 'nav: "Pick Video" | left: [Cancel] | right: [Done (disabled)]'
# An album's row is named by what it shows, not again by its screen reader's label.
grep -qF 'Roll2 Photos' "$work/out" && fail "an album's accessibility label was listed beside its row"
expect 'nav: "Camera Roll" | back: [< Pick Video] | right: [Done (disabled)]'
expect 'footer: 2 Videos'
expect 'toolbar: 1 Video Selected'
after 'item 1' | grep -qF '1: Video, Portrait' || fail "the second video is not listed"
after 'item 1' | grep -qE '1: Video, Portrait.*\[selected\]' && fail "a second video was selected"
after 'tap Done' | grep -qF 'sheet: activity' && fail "the sheet came before its second"
library_url="$(grep -m1 -oE 'item: assets-library://asset/asset\.MOV\?id=[0-9A-F-]+&ext=MOV' "$work/out" || true)"
[ -n "$library_url" ] || fail "no sheet with the library video's URL"
expect 'offers: com.apple.UIKit.activity.AirDrop'

clip="$(grep -m1 -oE 'item: file:///tmp/[^ ]+\.mov' "$work/out" | sed 's|item: file://||' || true)"
[ -n "$clip" ] || fail "no sheet with the recorded clip"
after 'tap Use Video' | grep -qF 'sheet: activity' && fail "the recording's sheet came before its second"
[ -s "$device$clip" ] || fail "the clip $clip is not on the device"
codec="$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of default=nw=1:nk=1 "$device$clip")"
[ "$codec" = h264 ] || fail "the clip is not H.264: $codec"
duration="$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$device$clip")"
awk -v d="$duration" 'BEGIN { exit !(d >= 1.8 && d <= 2.2) }' || fail "the clip lasts $duration seconds, not 2"

# The second recording's end dragged to the bar's middle: the sheet offers a clip of its first second.
expect 'video camera: trim, keeping 0.0 s to 2.0 s of 2.0 s'
after 'drag 308,62 160,62' | grep -qF 'video camera: trim, keeping 0.0 s to 1.0 s of 2.0 s' || fail "the drag did not trim the clip"
trimmed="$(grep -oE 'item: file:///tmp/[^ ]+\.mov' "$work/out" | sed 's|item: file://||' | sed -n 2p || true)"
[ -n "$trimmed" ] && [ "$trimmed" != "$clip" ] || fail "no sheet with the trimmed clip"
duration="$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$device$trimmed")"
awk -v d="$duration" 'BEGIN { exit !(d >= 0.85 && d <= 1.15) }' || fail "the trimmed clip lasts $duration seconds, not 1"

expect 'background: This app does not have access to your photos or videos. You can enable access in Privacy Settings.'
echo "videos tab: ok"
