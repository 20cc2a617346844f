#!/usr/bin/env bash
# The Media tab's Photos screen through the real binary on the sample device: a photo picked from
# the library and one taken with the still camera each reach the AirDrop sheet as an image, and
# the image the sheet sends is the photo, upright and cropped as the screen showed it.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/sample_device.bash"

# The red, green and blue of one pixel of a PNG, as "R G B".
pixel() {
    ffmpeg -v error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
# A colour within a small distance of the expected one (JPEG blurs edges and shades).
near() {
    local got=($1) want=($2)
    for i in 0 1 2; do
        local d=$(( got[i] - want[i] ))
        (( d < 0 )) && d=$(( -d ))
        (( d <= 40 )) || return 1
    done
}
expect_pixel() {
    local file="$1" x="$2" y="$3" want="$4" what="$5"
    local got
    got="$(pixel "$file" "$x" "$y")"
    near "$got" "$want" || fail "$what: pixel $x,$y of $(basename "$file") is $got, not $want"
}
size_of() { ffprobe -v error -show_entries stream=width,height -of csv=p=0:s=x "$1"; }

# What the back camera sees: its landscape sensor frame, four quadrants (red, green above blue,
# yellow) between a white band along the top and a black one along the bottom. Held upright, the
# photo turns right, and the crop to the tall screen cuts both bands away.
ffmpeg -v error -f lavfi -i "color=c=yellow:s=640x480,drawbox=x=0:y=0:w=320:h=240:c=red:t=fill,\
drawbox=x=320:y=0:w=320:h=240:c=lime:t=fill,drawbox=x=0:y=240:w=320:h=240:c=blue:t=fill,\
drawbox=x=0:y=0:w=640:h=40:c=white:t=fill,drawbox=x=0:y=440:w=640:h=40:c=black:t=fill" -frames:v 1 "$work/frame.png"

# The grid lists the camera roll's photos newest first: item 2 is the oldest, the upright photo
# whose EXIF turns its landscape bitmap right. A long press on the first photo previews it; a drag
# down sends the preview away.
{ media_screen Photos; cat <<SCRIPT; } > "$work/script"
tap library
wait 1
hold 80,80
drag 160,250 160,420
wait 1
screen
item 2
wait 1
airdrop $work/library.png
camera $work/frame.png
tap camera
wait 1
tap CAPTURE
expect camera: review
tap Save
wait 1
airdrop $work/camera.png
tap camera
wait 1
tap Back
wait 1
screen
SCRIPT
run_script

expect 'hint: "Drag the triangle from the top"'
expect 'screen: PSImagePickerController'
expect 'items 0-2 of 3:'
expect 'bar: [Cancel] [Camera Roll]'
grep -qF '[PSShowMark]' "$work/out" && fail "the album button's arrow mark was listed as a thing of its own"
expect 'preview: image 640×480 @1'
grep -qF 'preview:' <<< "$(sed -n '/^> screen/,/^> item 2/p' "$work/out")" && fail "the preview stayed after the drag"
expect 'sent through AirDrop: image 480×640 @1'
expect 'camera: live, "Back Camera", flash off'
expect 'controls: [Back] [Capture] [Flash] [Switch Camera]'
expect 'controls: [Back] [Save]'
expect 'sent through AirDrop: image 320×568 @2'
expect 'offers: com.apple.UIKit.activity.AirDrop'
errors="$(grep -F 'error:' "$work/out" || true)"
[ -z "$errors" ] || fail "a command failed: $(head -1 <<< "$errors")"
grep -qF 'Error getting image, maybe user canceled?' "$work/err" || fail "the cancelled camera was not logged"
# The cancelled camera offers nothing: the last screen is the Photos panel with no sheet.
tail -n 8 "$work/out" | grep -qF 'sheet: activity' && fail "a cancelled camera opened the sheet"

# The library photo, full-screen and upright: its bitmap's checker corner (top left, red then
# white) now lies at the top right.
[ "$(size_of "$work/library.png")" = 480x640 ] || fail "the library photo is $(size_of "$work/library.png")"
expect_pixel "$work/library.png" 449 30 "255 0 0" "library photo turned right"
expect_pixel "$work/library.png" 449 90 "255 255 255" "library photo turned right"
expect_pixel "$work/library.png" 389 30 "255 255 255" "library photo turned right"

# The camera photo: 320 × 568 points at scale 2, turned right (red at the top right, blue at the
# top left, yellow at the bottom left, green at the bottom right), the bands cropped away.
[ "$(size_of "$work/camera.png")" = 640x1136 ] || fail "the camera photo is $(size_of "$work/camera.png")"
expect_pixel "$work/camera.png" 480 200 "255 0 0" "camera photo top right"
expect_pixel "$work/camera.png" 160 200 "0 0 255" "camera photo top left"
expect_pixel "$work/camera.png" 160 940 "255 255 0" "camera photo bottom left"
expect_pixel "$work/camera.png" 480 940 "0 255 0" "camera photo bottom right"
for y in 10 568 1125; do
    edge="$(pixel "$work/camera.png" 3 "$y")"
    near "$edge" "0 0 0" && fail "the black band shows at the camera photo's left edge (y $y)"
    edge="$(pixel "$work/camera.png" 636 "$y")"
    near "$edge" "255 255 255" && fail "the white band shows at the camera photo's right edge (y $y)"
done
echo "photos tab: ok"
