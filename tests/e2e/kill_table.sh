#!/usr/bin/env bash
# The kill table: the app is killed (SIGKILL) at random moments while it zips a folder, while a
# large file is handed over to it, while it exports a song and while it writes its defaults. After
# every kill no final name holds a partial file: the zip is absent or tests clean, the inbox and
# app-folder copies are absent or equal to the file handed over, the exported song is absent or
# plays to its end, the defaults read back whole. The next launch then sweeps every temporary the
# killed run left.
# KILL_TABLE_KILLS kills per scenario (3 by default) and files of KILL_TABLE_MB megabytes (2 by
# default) keep CI short; KILL_TABLE_KILLS=50 KILL_TABLE_MB=500 is the full table, run by hand (the
# song lasts 30 s for each megabyte, up to an hour).
set -euo pipefail
tandrel="$1"
kills="${KILL_TABLE_KILLS:-3}"
megabytes="${KILL_TABLE_MB:-2}"
# The same kill moments in every run with the same settings.
RANDOM=36
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
documents="$device/var/mobile/Documents"
inbox="$documents/Inbox"
appFolder="$device/var/mobile/Tandrel"
preferences="$device/var/mobile/Library/Preferences"
mkdir -p "$documents/Trip" "$device/tmp" "$device/Applications" "$preferences"

fail() { echo "FAILED: $*" >&2; exit 1; }

# Launches the app and kills it after the given number of seconds; a run that ends first is fine.
run_and_kill() {
    local after="$1"
    shift
    "$tandrel" --device "$device" "$@" > "$work/out" 2> "$work/err" &
    local pid=$!
    sleep "$after"
    kill -9 "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
}
# How long a whole run takes, in seconds.
timed_run() {
    local start end
    start=$(date +%s.%N)
    "$tandrel" --device "$device" "$@" > "$work/out" 2> "$work/err"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
# A random moment within a run of the given length.
moment() { awk -v d="$1" -v r="$RANDOM" 'BEGIN { printf "%.3f", d * (r % 1000) / 1000 }'; }
temporaries() { find "$@" -maxdepth 1 -name '.tdpart-*' 2> /dev/null || true; }
# After a kill, a launch that does nothing: it must sweep what the killed run was writing.
# Counts the kills that landed mid-write (a temporary was left), which the summary reports.
midway=0
relaunch_sweeps() {
    [ -z "$(temporaries "$@")" ] || midway=$((midway + 1))
    "$tandrel" --device "$device" --script /dev/null > "$work/out" 2> "$work/err"
    local left
    left="$(temporaries "$@")"
    [ -z "$left" ] || fail "$1: temporaries left after the next launch: $left"
}

# --- a zip of a folder -------------------------------------------------------------------------
for part in 1 2 3 4; do head -c "$((megabytes * 1024 * 1024 / 4))" /dev/urandom > "$documents/Trip/part$part.bin"; done
order="$(ls -f "$documents" | grep -v '^\.')"
row="$(echo "$order" | grep -nx Trip | cut -d: -f1 | awk '{print $1 - 1}')"
printf 'tap Skip\ntap var\ntap mobile\ntap Documents\naccessory %s\nquit\n' "$row" > "$work/zip.script"
duration="$(timed_run --script "$work/zip.script")"
unzip -tq "$device/tmp/Trip.zip" > /dev/null || fail "an unkilled zip does not test clean"
for ((kill = 1; kill <= kills; kill++)); do
    rm -f "$device/tmp/Trip.zip"
    run_and_kill "$(moment "$duration")" --script "$work/zip.script"
    if [ -e "$device/tmp/Trip.zip" ]; then
        unzip -tq "$device/tmp/Trip.zip" > /dev/null || fail "zip kill $kill: /tmp/Trip.zip is not whole"
    fi
    relaunch_sweeps "$device/tmp"
done
echo "zip: $kills kills, every archive whole or absent ($midway left a temporary, swept at the next launch)"
midway=0

# --- a large hand-over -------------------------------------------------------------------------
head -c "$((megabytes * 1024 * 1024))" /dev/urandom > "$work/movie.mov"
duration="$(timed_run --handover "$work/movie.mov" --script /dev/null)"
cmp -s "$work/movie.mov" "$appFolder/movie.mov" || fail "an unkilled hand-over was not saved whole"
for ((kill = 1; kill <= kills; kill++)); do
    rm -rf "$inbox" "$appFolder/movie.mov"
    run_and_kill "$(moment "$duration")" --handover "$work/movie.mov" --script /dev/null
    for copy in "$appFolder/movie.mov" "$inbox"/movie*.mov; do
        [ -e "$copy" ] || continue
        cmp -s "$work/movie.mov" "$copy" || fail "hand-over kill $kill: $copy is not whole"
    done
    relaunch_sweeps "$appFolder" "$inbox"
done
echo "hand-over: $kills kills, every copy whole or absent ($midway left a temporary, swept at the next launch)"
midway=0

# --- a song export ------------------------------------------------------------------------------
# An MP3 in the music library, exported to M4A into the app folder from the Media tab.
music="$device/var/mobile/Media/iTunes_Control/Music/F00"
mkdir -p "$music"
seconds=$((megabytes * 30 > 3600 ? 3600 : megabytes * 30))
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=$seconds" -ac 2 -b:a 128k -metadata title="Evening Song" \
    "$music/Evening.mp3" < /dev/null
song="$appFolder/Evening Song.m4a"
printf '%s\n' "tap Skip" "tab Media" "touch 160,110" "wait 1" "tap Music" "wait 1" "tap Browse" "row 0" \
    "expect Exported 600" "quit" > "$work/song.script"
duration="$(timed_run --script "$work/song.script")"
[ -s "$song" ] || fail "an unkilled export left no song"
# A song is whole when its index is there and it plays to its end.
whole_song() {
    local length
    length="$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$1" 2> /dev/null)" || return 1
    awk -v l="$length" -v s="$seconds" 'BEGIN { exit !(l + 0.5 >= s) }'
}
whole_song "$song" || fail "an unkilled export is not whole"
for ((kill = 1; kill <= kills; kill++)); do
    rm -f "$song"
    run_and_kill "$(moment "$duration")" --script "$work/song.script"
    if [ -e "$song" ]; then whole_song "$song" || fail "song kill $kill: the exported song is not whole"; fi
    relaunch_sweeps "$appFolder"
done
echo "song export: $kills kills, every song whole or absent ($midway left a temporary, swept at the next launch)"
midway=0

# --- a defaults write --------------------------------------------------------------------------
# The app writes its defaults at a launch that has not shown the welcome yet. They are made as
# large as the files above, so that every write of them takes a while, yet no larger than a store
# may be (64 MB: a larger one is set aside as damaged).
store="$preferences/org.harborstack.tandrel.plist"
ballast=$((megabytes > 32 ? 32 : megabytes))
fresh_defaults() {
    python3 - "$store" "$ballast" <<'PY'
import os, plistlib, sys
path, megabytes = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    plistlib.dump({"ballast": b"\x5a" * (megabytes * 1024 * 1024)}, f, fmt=plistlib.FMT_BINARY)
PY
}
check_defaults() {
    python3 - "$preferences" "$ballast" <<'PY' || fail "defaults kill $1: a defaults file is not whole"
import os, plistlib, sys
folder, megabytes = sys.argv[1], int(sys.argv[2])
for name in os.listdir(folder):
    assert not name.endswith(".corrupt"), name
    # Temporaries (hidden) are the writer's own; the stores are what the app reads.
    if name.endswith(".plist") and not name.startswith("."):
        with open(os.path.join(folder, name), "rb") as f:
            values = plistlib.load(f)
        assert len(values["ballast"]) == megabytes * 1024 * 1024, name
PY
}
fresh_defaults
duration="$(timed_run --script /dev/null)"
python3 -c 'import plistlib, sys; assert plistlib.load(open(sys.argv[1], "rb"))["introShow"] == "Done"' "$store" ||
    fail "an unkilled launch did not write its defaults"
for ((kill = 1; kill <= kills; kill++)); do
    fresh_defaults
    run_and_kill "$(moment "$duration")" --script /dev/null
    check_defaults "$kill"
    relaunch_sweeps "$preferences"
done
echo "defaults: $kills kills, every store whole ($midway left a temporary, swept at the next launch)"
echo "kill_table: ok"
