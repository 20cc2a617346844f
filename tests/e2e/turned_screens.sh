#!/usr/bin/env bash
# Screens open when the device turns, turned to either side, through the real binary on the sample
# device, each checked by its screen text and the display's pixels: the Media tab's menu drops
# inside the turned tab and opens each of its panels; the received file's document menu lies
# along the bottom; the welcome and the quality sheet fill the landscape width; the navigation bar
# stands at one height whichever way the device turned; the photo picker's Cancel is drawn and
# taken; the video camera shows what the camera sees. What a turned screen leaves off the screen
# or under something drawn over it (the Media hint, the Clipvane setup screen's button) is not
# listed, and the back button is named once.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/sample_device.bash"
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

# What the screen shows after a command (the first time it was given) and before the next.
after() { awk -v cmd="> $1" 'found && /^> /{exit} found{print} $0 == cmd{found=1}' "$work/out"; }
# The colour a `pixel X,Y` command read, as "R G B".
read_pixel() { after "pixel $1" | sed -n "s/^$1: \([0-9]*\) \([0-9]*\) \([0-9]*\) [0-9]*$/\1 \2 \3/p" | head -1; }
# The pixel read at X,Y is within TOLERANCE of R G B.
pixel_is() { # X,Y "R G B" TOLERANCE WHAT
    local got want=($2)
    got=($(read_pixel "$1"))
    [ "${#got[@]}" = 3 ] || fail "$4: no pixel read at $1"
    for i in 0 1 2; do
        local d=$(( got[i] - want[i] ))
        (( d < 0 )) && d=$(( -d ))
        (( d <= $3 )) || fail "$4: ${got[*]} at $1, not $2"
    done
}
pixel_is_not() { # X,Y "R G B" TOLERANCE WHAT
    local got want=($2) far=0
    got=($(read_pixel "$1"))
    [ "${#got[@]}" = 3 ] || fail "$4: no pixel read at $1"
    for i in 0 1 2; do
        local d=$(( got[i] - want[i] ))
        (( d < 0 )) && d=$(( -d ))
        (( d > $3 )) && far=1
    done
    [ "$far" = 1 ] || fail "$4: ${got[*]} at $1"
}
shows_after() { after "$1" | grep -qF -- "$2" || fail "after '$1' the screen does not show: $2"; }
not_after() { ! after "$1" | grep -qF -- "$2" || fail "after '$1' the screen shows: $2"; }
# No command was refused.
no_errors() {
    local errors
    errors="$(grep '^error:' "$work/out" || true)"
    [ -z "$errors" ] || fail "a command failed: $errors"
}

BAR=(91 165 255)
WHITE="255 255 255"

# The Media tab turned after it opened: the dropped triangle lies below the navigation bar with
# its bars in reach, and each bar opens its panel, whichever way the device turned. The hint is
# laid out again for the turned screen and stays listed.
cat > "$work/script" <<SCRIPT
tab Media
rotate left
wait 1
pixel 20,40
screen
tap triangle
wait 1
pixel 380,80
tap Videos
wait 1
screen
rotate right
wait 1
pixel 20,41
tap triangle
wait 1
pixel 380,81
tap Photos
wait 1
screen
tap triangle
wait 1
tap Music
wait 1
screen
SCRIPT
run_script
no_errors
pixel_is 20,40 "${BAR[*]}" 2 "the navigation bar turned left"
pixel_is 20,41 "${BAR[*]}" 2 "the navigation bar turned right"
shows_after "rotate left" "orientation: landscape, turned left, 568 by 320 points"
shows_after "rotate left" 'hint: "Drag the triangle from the top"'
shows_after "tap triangle" "menu: down"
pixel_is 380,80 "231 231 231" 3 "the dropped triangle's top bar below the bar, turned left"
pixel_is 380,81 "231 231 231" 3 "the dropped triangle's top bar below the bar, turned right"
shows_after "tap Videos" 'menu: parked, "Videos"'
shows_after "tap Photos" 'menu: parked, "Photos"'
shows_after "tap Music" 'menu: parked, "Music"'
# Each panel chosen sideways lays out for the turned screen: both its buttons show and are listed.
shows_after "tap Videos" "[camera]"
shows_after "tap Photos" "[camera]"
shows_after "tap Videos" "[library]"
shows_after "tap Photos" "[library]"

# The received file's document menu, opened upright and turned either way: it lies along the
# landscape bottom, its AirDrop entry in the system's blue, and AirDrop hands the file over.
printf 'notes' > "$work/notes.txt"
cat > "$work/script" <<SCRIPT
handover $work/notes.txt
wait 6
tap received
wait 1
row 0
rotate left
wait 1
pixel 284,300
pixel 284,100
screen
rotate right
wait 1
pixel 284,301
pixel 284,101
airdrop
SCRIPT
run_script
no_errors
shows_after "rotate left" "menu: "
pixel_is 284,300 "247 247 247" 3 "the document menu along the bottom, turned left"
pixel_is 284,301 "247 247 247" 3 "the document menu along the bottom, turned right"
pixel_is_not 284,100 "247 247 247" 3 "the document menu's strip across the top, turned left"
pixel_is_not 284,101 "247 247 247" 3 "the document menu's strip across the top, turned right"
shows_after "airdrop" "handed: com.apple.UIKit.activity.AirDrop"

# The welcome turned after launch: its backdrop across the landscape width; its Skip button,
# whose place keeps the height it was given upright, lies below the turned screen and is not
# listed until the device stands upright again. And the navigation bar, 64 points from the top whichever way the device turned first
# and after turning from one side to the other.
cat > "$work/script" <<SCRIPT
rotate left
wait 1
pixel 548,100
pixel 548,300
rotate right
wait 1
pixel 549,100
rotate portrait
wait 1
tap Skip
wait 1
rotate right
wait 1
pixel 20,50
pixel 20,70
rotate left
wait 1
pixel 21,50
pixel 21,70
rotate portrait
wait 1
rotate right
wait 1
pixel 22,50
pixel 22,70
tab Media
wait 1
pixel 23,50
pixel 23,70
SCRIPT
fresh="$work/fresh"
mkdir -p "$fresh/var/mobile/Documents" "$fresh/tmp" "$fresh/Applications"
status=0
"$tandrel" --device "$fresh" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
script_status "$status" "$work/out" "the fresh device's script"
no_errors
pixel_is 548,100 "55 99 161" 15 "the welcome's backdrop across the landscape width, turned left"
pixel_is 549,100 "55 99 161" 15 "the welcome's backdrop across the landscape width, turned right"
not_after "rotate left" "[Skip]"
shows_after "rotate portrait" "[Skip]"
for x in 20 21 22 23; do
    pixel_is "$x,50" "${BAR[*]}" 2 "the navigation bar's lower part ($x)"
    pixel_is_not "$x,70" "${BAR[*]}" 10 "below the navigation bar ($x)"
done

# The photo picker opened upright and turned either way: its bar along the landscape bottom, its
# Cancel drawn there and taken.
{ media_screen Photos; cat <<SCRIPT; } > "$work/script"
tap library
wait 1
rotate left
wait 1
pixel 400,305
tap Cancel
wait 1
screen
rotate portrait
wait 1
tap library
wait 1
rotate right
wait 1
pixel 401,305
tap Cancel
wait 1
screen
SCRIPT
run_script
no_errors
shows_after "rotate left" "[Cancel]"
pixel_is 400,305 "57 185 238" 12 "the picker's bar along the bottom, turned left"
pixel_is 401,305 "57 185 238" 12 "the picker's bar along the bottom, turned right"
not_after "tap Cancel" "PSImagePickerController"

# The video camera shows what the camera sees, upright and turned either way; its trim step fits
# the turned screen with its buttons in reach.
{ media_screen Videos; cat <<SCRIPT; } > "$work/script"
camera pattern
touch 160,162
wait 1
pixel 160,284
rotate left
wait 1
pixel 284,160
rotate right
wait 1
pixel 284,161
tap Record
wait 2
tap Stop
wait 1
tap Retake
wait 1
screen
tap Cancel
wait 1
SCRIPT
run_script
no_errors
for p in 160,284 284,160 284,161; do pixel_is_not "$p" "0 0 0" 8 "the video camera's live picture"; done
shows_after "tap Stop" "video camera: trim"
shows_after "tap Retake" "video camera: live"

# The Clipvane setup screen opened sideways: the logo, laid over the screen from the top, covers
# the Setup button and the message's first lines, which are not listed; Done closes it.
cat > "$work/script" <<SCRIPT
rotate left
wait 1
shake
wait 3
screen
tap Setup
tap Done
wait 2
row 0
SCRIPT
run_script
shows_after "wait 3" 'nav: "Clipvane"'
shows_after "wait 3" '"You can even share downloaded videos using Tandrel afterward!"'
not_after "wait 3" "[Setup]"
not_after "wait 3" '"Congratulations, you unlocked Clipvane!"'
grep -qF 'error: nothing on screen shows "Setup"' "$work/out" || fail "the covered Setup button was tapped by its name"
shows_after "tap Done" "nav: \"/\""
# A pushed folder's back button is named once, by what it shows.
shows_after "row 0" 'back: [< /]'
not_after "row 0" "[Back]"

echo "turned screens: ok"
