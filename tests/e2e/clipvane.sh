#!/usr/bin/env bash
# Clipvane against a loopback video site: the bookmarklet's address gives a sheet of the video's
# qualities with its title and thumbnail; a choice downloads the stream into the app folder a
# second later. A body cut short says "Download Failed" and leaves an earlier file of the name
# as it was; a title with "/" and ".." lands inside the app folder; a page without streams shows
# the "Error" alert. Then the Files tab's shake, its egg and the setup screen's two buttons, and
# the update check at launch.
set -euo pipefail
tandrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
server=""
cleanup() {
    if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

device="$work/device"
app="$device/var/mobile/Tandrel"
site="$work/site"
mkdir -p "$device/var/mobile" "$device/tmp" "$device/Applications" "$site/get_video_info" "$site/stream"
# A first launch past the welcome, before the site starts recording.
printf 'tap Skip\n' > "$work/welcome"
"$tandrel" --device "$device" --script "$work/welcome" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the first launch failed"; }

exec 3< <(exec python3 "$here/tools/fixture_site.py" "$work")
server=$!
read -r port <&3 || fail "the fixture site did not start"
origin="http://127.0.0.1:$port"
export TANDREL_VIDEO_SITE="$origin" TANDREL_MAKER_SITE="$origin"

# The site's reply for a video: a query string whose stream map holds one query string per stream.
video_info() { # ID TITLE QUALITY...
    python3 - "$origin" "$@" <<'PY'
import sys, urllib.parse
q = lambda s: urllib.parse.quote(s, safe="")
origin, vid, title, qualities = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
itags = {"hd720": "22", "medium": "18", "small": "36"}
mp4 = 'video/mp4; codecs="avc1.42001E, mp4a.40.2"'
streams = ["url=%s&quality=%s&type=%s&itag=%s" % (q(q("%s/stream/%s-%s?k=1" % (origin, vid, name))), q(q(name)), q(q(mp4)), itags[name])
           for name in qualities]
more = "&title=%s" % q(title) if title else ""
print("status=ok&url_encoded_fmt_stream_map=%s%s&iurl=%s&length_seconds=42" % (q(",".join(streams)), more, q(origin + "/thumb.png")), end="")
PY
}
# Small first: the sheet orders the qualities itself.
video_info vid42 "My Video" small hd720 medium > "$site/get_video_info/vid42"
video_info cut1 "My Video" hd720 > "$site/get_video_info/cut1"
video_info dots "../../etc/My/Video" small > "$site/get_video_info/dots"
video_info nolen "" small > "$site/get_video_info/nolen"
video_info part1 "Partial Clip" medium > "$site/get_video_info/part1"
video_info slow1 "Slow Clip" small > "$site/get_video_info/slow1"
printf 'status=fail&reason=Invalid+parameters.' > "$site/get_video_info/bad"
head -c 300000 /dev/urandom > "$site/stream/vid42-medium"
head -c 200000 /dev/urandom > "$site/stream/cut1-hd720"
touch "$site/stream/cut1-hd720.cut"
head -c 1000 /dev/urandom > "$site/stream/dots-small"
head -c 50000 /dev/urandom > "$site/stream/nolen-small"
touch "$site/stream/nolen-small.nolength"
head -c 1048576 /dev/urandom > "$site/stream/part1-medium"
touch "$site/stream/part1-medium.partial"
head -c 400000 /dev/urandom > "$site/stream/slow1-small"
echo 30 > "$site/stream/slow1-small.slow"
cp "$here/../../resources/egg@2x.png" "$site/thumb.png"

# Each download: the choice; the transfer starts a second after the sheet has faded and ends in
# the bar's flash, whose message shows 0.8 s later and which is gone 2.5 s after that.
download() { # ID LABEL OUTCOME
    cat <<SCRIPT
open tandrel://http//m.youtube.com/watch?v=$1&feature=share
screen
tap $2
expect Downloading Video
expect $3 15
wait 3
SCRIPT
}
{
    download vid42 "Medium Quality" "Download Complete"
    download cut1 "High Quality" "Download Failed"
    download dots "Low Quality" "Download Complete"
    download nolen "Low Quality" "Download Complete"
    download part1 "Medium Quality" "Download Failed"
    echo "open tandrel://http://www.youtube.com/watch?v=bad"
    echo "screen"
} > "$work/script"

"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the app failed"; }
cat "$work/out"
shows() { grep -qF -- "$1" "$work/out" || fail "the output never shows: $1"; }
! grep -q '^error:' "$work/out" || fail "a command failed: $(grep -A3 '^error:' "$work/out")"

# The sheet: title, thumbnail and the qualities in the designed order.
shows 'action sheet: "My Video" [High Quality] [Medium Quality] [Low Quality] [Cancel]'
grep -q '"path": "/thumb.png"' "$work/requests" || fail "the thumbnail was not fetched"
shows 'progress: "Downloading Video"'
shows 'progress: "Download Complete"'
cmp "$site/stream/vid42-medium" "$app/My Video.mov" || fail "the download differs from the served body"
python3 - "$work/requests" <<'PY' || fail "the video-information request is not as designed"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1])]
info = [r for r in rows if r["path"] == "/get_video_info" and "video_id=vid42" in r["query"]]
assert info, rows
assert "Mozilla" in info[0]["headers"].get("User-Agent", ""), info[0]
stream = [r for r in rows if r["path"] == "/stream/vid42-medium"]
assert stream and "signature=18" in stream[0]["query"], stream
PY

# The cut body (the same title, later): "Download Failed"; the comparison above, made after it,
# shows the earlier file kept, and the folder's listing below that no partial file is left.
shows 'progress: "Download Failed"'
# The title with "/" and "..", and the missing title (the video id), both inside the app folder.
cmp "$site/stream/dots-small" "$app/_.._etc_My_Video.mov" || fail "the title with slashes was not saved inside the app folder"
cmp "$site/stream/nolen-small" "$app/nolen.mov" || fail "the body without a length was not saved under the video id"
# A quarter of a video answered with 206 to a request for the whole: nothing is published.
grep -qF "Download failed: The server sent part of the resource (bytes 0-262143/1048576)" "$work/err" "$work/out" ||
    fail "the partial answer's refusal was not logged"
[ "$(ls -A "$app" | sort | tr '\n' '|')" = "My Video.mov|_.._etc_My_Video.mov|nolen.mov|" ] || fail "the app folder holds: $(ls -A "$app")"
[ ! -e "$device/etc" ] || fail "a download left the app folder"
# The page without streams.
shows 'alert: "Error" "This video cannot be downloaded." buttons: [OK]'
grep -qF "Video lookup failed: " "$work/err" "$work/out" || fail "the lookup's reason was not logged"

# A quit while a download runs leaves no hidden file of it behind (and the folder as it was).
cat > "$work/quit" <<SCRIPT
open tandrel://http://www.youtube.com/watch?v=slow1
tap Low Quality
expect Downloading Video
wait 0.5
quit
SCRIPT
"$tandrel" --device "$device" --script "$work/quit" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the app failed"; }
grep -q '"path": "/stream/slow1-small"' "$work/requests" || fail "the slow download never started"
[ "$(ls -A "$app" | sort | tr '\n' '|')" = "My Video.mov|_.._etc_My_Video.mov|nolen.mov|" ] || fail "a quit left in the app folder: $(ls -A "$app")"

# The Files tab's shake: the Clipvane screen, the egg for two seconds; Done opens nothing, Setup
# opens the installer page a second after the screen closed.
cat > "$work/shake" <<SCRIPT
shake
screen
wait 0.5
screen
wait 2
tap Done
wait 2
screen
shake
wait 0.5
wait 2
tap Setup
screen
wait 1
screen
SCRIPT
"$tandrel" --device "$device" --script "$work/shake" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the app failed"; }
cat "$work/err" >> "$work/out"
cat "$work/out"
shows "screen: TDYouTube"
shows 'message: "Congratulations, you unlocked Clipvane!" "Download YouTube videos using Safari on your iOS device with simple steps." "You can even share downloaded videos using Tandrel afterward!"'
shows 'nav: "Clipvane" | right: [Done]'
shows 'alert: "" buttons: image: egg'
shows "Finished showing easter egg's view xD"
installer="opened: $origin/Tandrel/egg.php?bookmark=javascript:window.location='tandrel://'+document.URL;"
! sed -n '/^> wait 1$/q;p' "$work/out" | grep -qF "opened:" || fail "a page was opened before Setup's second passed"
sed -n '/^> wait 1$/,$p' "$work/out" | grep -qF -- "$installer" || fail "Setup did not open the installer page"
# The update check at launch: a newer optional version is offered, a mandatory one installed.
mkdir -p "$site/Tandrel/track"
printf '{"version":{"number":"1.1","install_url":"cydia://package/org.harborstack.tandrel?v=1.1"}}' > "$site/Tandrel/track/release"
printf 'expect Update Available!\n' > "$work/update"
"$tandrel" --device "$device" --script "$work/update" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the optional update was not offered"; }
shows 'alert: "Update Available!" "There is a newer version of Tandrel availabe. Update now?" buttons: [Later] [Update]'
printf '{"version":{"number":"2.0","install_url":"cydia://package/org.harborstack.tandrel?v=2.0","mandatory":true}}' > "$site/Tandrel/track/release"
printf 'expect opened: cydia://package/org.harborstack.tandrel?v=2.0\n' > "$work/update"
"$tandrel" --device "$device" --script "$work/update" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the mandatory update was not installed"; }
! grep -qF "Update Available!" "$work/out" || fail "a mandatory update was offered instead of installed"
grep -qF '"path": "/Tandrel/track/release"' "$work/requests" || fail "the version service was not asked"

# A slow download (3 MB over 3 s): a wait lets it run in real time as a person's wait would, and
# the file is whole and the bar gone when the wait ends; a script without one stays quick.
video_info slow3 "Slow Video" medium > "$site/get_video_info/slow3"
head -c 3000000 /dev/urandom > "$site/stream/slow3-medium"
echo 3 > "$site/stream/slow3-medium.slow"
printf 'open tandrel://http//m.youtube.com/watch?v=slow3\ntap Medium Quality\nwait 10\n' > "$work/slow"
"$tandrel" --device "$device" --script "$work/slow" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the slow download failed"; }
cmp "$site/stream/slow3-medium" "$app/Slow Video.mov" || { cat "$work/out"; fail "the wait did not let the download finish"; }
! sed -n '/^> wait 10$/,$p' "$work/out" | grep -qF 'Downloading Video' || fail "the bar still showed the download after the wait"
# A 5-second download (5 MB over 5 s): `wait 7.5` after the choice is 7.5 s in all, the script
# clock passing with the transfer's real time, so it shows what a person sees then: the transfer
# started a second after the choice and ended, and "Download Complete" shown (from 0.8 s after the
# end). settle leaves the screen as it stands when the transfer ends, the message 0.8 s away.
video_info slow5 "Five Seconds" medium > "$site/get_video_info/slow5"
head -c 5000000 /dev/urandom > "$site/stream/slow5-medium"
echo 5 > "$site/stream/slow5-medium.slow"
printf 'open tandrel://http//m.youtube.com/watch?v=slow5\ntap Medium Quality\nwait 7.5\n' > "$work/five"
"$tandrel" --device "$device" --script "$work/five" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the 5-second download failed"; }
sed -n '/^> wait 7.5$/,$p' "$work/out" | grep -qF 'progress: "Download Complete"' || { cat "$work/out"; fail "wait 7.5 after a 5-second download did not show Download Complete"; }
cmp "$site/stream/slow5-medium" "$app/Five Seconds.mov" || fail "the 5-second download differs from the served body"
printf 'open tandrel://http//m.youtube.com/watch?v=slow5\ntap Medium Quality\nexpect Downloading Video\nsettle 15\nwait 1\n' > "$work/five"
"$tandrel" --device "$device" --script "$work/five" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the settled download failed"; }
sed -n '/^> settle 15$/,/^> wait 1$/p' "$work/out" | grep -qF 'progress: "Downloading Video"' || { cat "$work/out"; fail "settle did not leave the screen as the transfer's end shows it"; }
sed -n '/^> wait 1$/,$p' "$work/out" | grep -qF 'progress: "Download Complete"' || { cat "$work/out"; fail "a second after settle the download was not shown complete"; }
# The clock runs with a transfer's real time in every wait however short: thirty waits of 0.1 s
# into a 4-second transfer still show it running, and a further wait shows its end.
video_info slow4 "Four Seconds" medium > "$site/get_video_info/slow4"
head -c 400000 /dev/urandom > "$site/stream/slow4-medium"
echo 4 > "$site/stream/slow4-medium.slow"
{ printf 'open tandrel://http//m.youtube.com/watch?v=slow4\ntap Medium Quality\nexpect Downloading Video\n'
  for _ in $(seq 30); do echo "wait 0.1"; done
  printf 'screen\nexpect Download Complete 5\n'; } > "$work/split"
"$tandrel" --device "$device" --script "$work/split" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the split waits failed"; }
sed -n '/^> screen$/,/^> expect Download Complete 5$/p' "$work/out" | grep -qF 'progress: "Downloading Video"' || { cat "$work/out"; fail "thirty waits of 0.1 s outran a 4-second transfer"; }
! grep -q '^error:' "$work/out" || { cat "$work/out"; fail "the transfer's end did not show after the split waits"; }

# settle right after the choice runs the download that begins a second later to its end, so a
# quit after it keeps the file.
printf 'open tandrel://http//m.youtube.com/watch?v=vid42\ntap Medium Quality\nsettle\nquit\n' > "$work/settled"
rm -f "$app/My Video.mov"
"$tandrel" --device "$device" --script "$work/settled" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "settle after the choice failed"; }
cmp "$site/stream/vid42-medium" "$app/My Video.mov" || fail "settle after the choice did not let the download save"

# A version service that answers after 3 s of real time: the alert comes when the answer did, 3 s
# on the device's clock (no sooner, as the server holds it back; no later than the run's real time).
printf '{"version":{"number":"1.1","install_url":"cydia://package/org.harborstack.tandrel?v=1.1"}}' > "$site/Tandrel/track/release"
echo 3 > "$site/Tandrel/track/release.delay"
printf 'expect Update Available!\n' > "$work/update"
began=$(date +%s.%N)
"$tandrel" --device "$device" --script "$work/update" > "$work/out" 2> "$work/err" || { cat "$work/out" "$work/err"; fail "the slow update check was not offered"; }
ended=$(date +%s.%N)
rm "$site/Tandrel/track/release.delay"
python3 - "$work/err" "$began" "$ended" <<'PY' || fail "the slow update check's answer was not dated when it came"
import datetime, sys
def stamp(marker):
    line = next(l for l in open(sys.argv[1]) if marker in l)
    return datetime.datetime.strptime(" ".join(line.split()[:2]), "%Y-%m-%d %H:%M:%S.%f")
answered = (stamp("Latest Version: 1.1") - stamp("Checking for Application Updates")).total_seconds()
real = float(sys.argv[3]) - float(sys.argv[2])
print("update answer at device time %.3f s (run took %.3f s)" % (answered, real))
assert 3 <= answered <= real, answered
PY

echo "clipvane: all checks passed"
