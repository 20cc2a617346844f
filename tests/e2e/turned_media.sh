#!/usr/bin/env bash
# The Media panels on a turned screen, through the real binary on the sample device: whichever way
# the device is held when a panel is chosen, and however it turns afterwards, the panel's buttons
# stand on the screen, the screen lists them and a tap on each name opens what it names. And a
# bare swipe runs the way the person holding the device sees it, in every orientation.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/sample_device.bash"

# What the screen shows after the line numbered N of the script (counting from 1) and before the next.
after_nth() { awk -v n="$1" '/^> /{k++} k==n && !/^> /{print} k>n{exit}' "$work/out"; }

# One row per case: panel, how the device is held when the panel is chosen, how it is turned
# afterwards ("-" for not), the names the screen must list and each tap must open, and what the
# tap opens ("screen: ..." line).
cases=(
    "Music  left     -        Browse  MPMediaPickerSongsController"
    "Music  right    -        Browse  MPMediaPickerSongsController"
    "Music  portrait left     Browse  MPMediaPickerSongsController"
    "Music  left     portrait Browse  MPMediaPickerSongsController"
    "Music  left     -        Send    UIAlertView"
    "Music  portrait right    Send    UIAlertView"
    "Music  left     portrait Send    UIAlertView"
    "Photos left     -        library PSImagePickerController"
    "Photos right    -        library PSImagePickerController"
    "Photos portrait left     library PSImagePickerController"
    "Photos left     portrait library PSImagePickerController"
    "Videos left     -        library APAssetsGroupViewController"
    "Videos right    -        library APAssetsGroupViewController"
    "Videos portrait right    library APAssetsGroupViewController"
    "Videos right    portrait library APAssetsGroupViewController"
)
for row in "${cases[@]}"; do
    read -r panel held turned name opens <<< "$row"
    {
        printf '%s\n' "tap Skip" "tab Media"
        [ "$held" = portrait ] || printf '%s\n' "rotate $held" "wait 1"
        printf '%s\n' "tap triangle" "wait 1" "tap $panel" "wait 1"
        [ "$turned" = - ] || printf '%s\n' "rotate $turned" "wait 1"
        printf '%s\n' "screen" "tap $name" "wait 1" "screen"
    } > "$work/script"
    run_script > /dev/null
    lines=$(grep -c '^> ' "$work/out")
    listed="$(after_nth $((lines - 3)))"
    errors="$(grep '^error:' "$work/out" | grep -vF '"Skip"' || true)"
    [ -z "$errors" ] || fail "$row: a command failed: $errors"
    case "$opens" in
    UIAlertView) grep -qF 'You have to browse for a song first!' "$work/out" || fail "$row: Send did not answer" ;;
    *) after_nth "$lines" | grep -qF "screen: $opens" || fail "$row: tap $name did not open $opens" ;;
    esac
    echo "$listed" | grep -qF "[$name]" || fail "$row: the screen does not list [$name]"
    echo "$row: ok"
done

# The Media menu dropped and the device turned: each bar the screen lists opens its panel.
for held in left right; do
    for panel in Photos Videos; do
        printf '%s\n' "tap Skip" "tab Media" "tap triangle" "wait 1" "rotate $held" "wait 1" "screen" "tap $panel" "wait 1" > "$work/script"
        run_script > /dev/null
        after_nth 7 | grep -qF "[$panel]" || fail "menu turned $held: $panel is not listed"
        errors="$(grep '^error:' "$work/out" | grep -vF '"Skip"' || true)"
        [ -z "$errors" ] || fail "menu turned $held: a command failed: $errors"
        grep -qF "menu: parked, \"$panel\"" "$work/out" || fail "menu turned $held: tap $panel did not choose it"
    done
done

# A bare swipe in each direction, upright and turned either way, over a folder of 60 files: up
# shows later rows, and down brings the first back, as the person holding the device sees them.
mkdir -p "$device/tmp/long"
for i in $(seq -w 1 60); do : > "$device/tmp/long/f$i.txt"; done
for held in portrait left right; do
    {
        printf '%s\n' "tap Skip"
        [ "$held" = portrait ] || printf '%s\n' "rotate $held" "wait 1"
        printf '%s\n' "tap tmp" "tap long" "swipe up" "wait 1" "swipe down" "wait 1" "swipe left"
    } > "$work/script"
    run_script > /dev/null
    n=$(grep -c '^> ' "$work/out")
    after_nth $((n - 4)) | grep -q '^rows [1-9][0-9]*-' || fail "turned $held: swipe up did not scroll the folder"
    after_nth $((n - 2)) | grep -q '^rows 0-' || fail "turned $held: swipe down did not bring the first rows back"
    grep -qF 'error: nothing on screen scrolls sideways' "$work/out" || fail "turned $held: swipe left found something sideways to scroll"
    echo "swipe, $held: ok"
done

echo "turned media: ok"
