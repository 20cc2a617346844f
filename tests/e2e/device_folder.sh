#!/usr/bin/env bash
# The device folder: a folder that is not there is an error (a mistyped path must not start an
# empty device), unless the sample device is asked for, which is then made there.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

for how in "--device $work/missing" "TANDREL_DEVICE=$work/missing"; do
    status=0
    if [[ $how == --device* ]]; then
        printf 'quit\n' | "$tandrel" $how > "$work/out" 2> "$work/err" || status=$?
    else
        printf 'quit\n' | env "$how" "$tandrel" > "$work/out" 2> "$work/err" || status=$?
    fi
    cat "$work/err"
    [ "$status" -ne 0 ] || fail "$how: exit status 0"
    grep -qF "no device folder at $work/missing" "$work/err" || fail "$how: no clear message"
    [ ! -e "$work/missing" ] || fail "$how: the folder was made"
    [ ! -s "$work/out" ] || fail "$how: the app started"
done

# A script that cannot be read is an error before the app starts (and makes no device).
mkdir "$work/folder"
for script in "$work/no-such-script" "$work/folder"; do
    status=0
    "$tandrel" --device "$work/missing" --sample --script "$script" > "$work/out" 2> "$work/err" || status=$?
    [ "$status" -ne 0 ] || fail "--script $script: exit status 0"
    grep -qF "tandrel: cannot read the script $script" "$work/err" || fail "--script $script: no clear message: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "--script $script: the app started"
    [ ! -e "$work/missing" ] || fail "--script $script: the device was made"
done

printf 'tap Skip\nscreen\n' | "$tandrel" --device "$work/missing" --sample > "$work/out"
[ -f "$work/missing/var/mobile/Documents/Notes.txt" ] || fail "no sample device made in the folder"
grep -qF 'Applications' "$work/out" || fail "the sample device's root is not listed"
# Real media: photos that decode, videos and tagged songs.
media="$work/missing/var/mobile/Media"
for f in DCIM/100APPLE/IMG_0001.JPG DCIM/100APPLE/IMG_0003.HEIC DCIM/100APPLE/IMG_0004.MOV Albums/Holidays/Beach.JPG \
         iTunes_Control/Music/F01/Evening.mp3; do
    [ "$(stat -c %s "$media/$f")" -gt 1000 ] || fail "the sample device has no real $f"
done

# A sample device of the first edition (placeholder photos) is remade with the media.
old="$work/old"
mkdir -p "$old/var/mobile/Media/DCIM/100APPLE"
printf '\xff\xd8\xff\xe0 another photo\xff\xd9' > "$old/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG"
: > "$old/.tandrel-sample-device"
printf 'quit\n' | "$tandrel" --device "$old" --sample > /dev/null
[ ! -e "$old/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG" ] || fail "the placeholder photo stayed"
[ -s "$old/var/mobile/Media/DCIM/100APPLE/IMG_0005.MP4" ] || fail "the older sample device was not remade"
echo "device folder: ok"
