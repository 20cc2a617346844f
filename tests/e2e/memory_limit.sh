#!/usr/bin/env bash
# The app under a bound on its address space (ulimit -v): the welcome of a first launch, every tab
# and panel, a hand-over, a pause and the update check run to the end and the app quits by itself.
# What cannot be allocated is that operation's failure (a request's error, a picture not drawn), never
# an abort. Each bound is about a sixth above what its run was measured to need on a build machine
# (most of it the libraries' mappings): the first launch about 310 MB (its fonts), the walk about
# 230 MB.
set -euo pipefail
tandrel="$1"
welcome_kb=360000
walk_kb=270000
# The sanitizers reserve terabytes of shadow address space: no such bound can hold them.
if grep -qaE '__(asan|tsan|msan)_init' "$tandrel"; then
    echo "memory_limit: skipped (a sanitizer build cannot run under ulimit -v)"
    exit 0
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# run NAME DEVICE BOUND: the app on the device under the bound (KB), with the script $work/NAME.
run() {
    local status=0 bound_kb="$3"
    (ulimit -v "$bound_kb" && exec timeout 60 "$tandrel" --device "$2" --script "$work/$1") > "$work/$1.out" 2> "$work/$1.err" || status=$?
    [ "$status" -ne 124 ] || fail "the app hung under a bound of $bound_kb KB ($1)"
    if [ "$status" -ne 0 ]; then
        grep -v '^[0-9-]* [0-9:.]* Tandrel\[' "$work/$1.err" | tail -5 >&2 || true
        fail "the app ended with status $status under a bound of $bound_kb KB ($1)"
    fi
}
expect() { grep -qF -- "$2" "$work/$1.out" || fail "the screens never show: $2 ($1)"; }

# The welcome of a first launch, its pictures scaled for its panels.
mkdir -p "$work/fresh/var/mobile"
printf 'screen\nswipe left\ntap Skip\nquit\n' > "$work/welcome"
run welcome "$work/fresh" "$welcome_kb"
expect welcome '"Thanks for purchasing Tandrel!"'
expect welcome '"Media Sharing!"'

# The sample library is made without the bound: its HEIC encoder's thread pool is no part of the app.
device="$work/device"
mkdir "$device"
"$tandrel" --device "$device" --sample < /dev/null > /dev/null 2>&1
printf 'notes' > "$work/notes.txt"
cat > "$work/walk" <<SCRIPT
handover $work/notes.txt
wait 1
tab Media
touch 160,110
wait 1
tap Music
wait 1
touch 160,110
wait 1
tap Videos
wait 1
touch 160,110
wait 1
tap Photos
wait 1
tab Files
wait 1
tap gear
wait 1
background
foreground
quit
SCRIPT
run walk "$device" "$walk_kb"
expect walk 'also: [Browse] [Send] (gear)'
expect walk 'menu: parked, "Videos"'
expect walk 'menu: parked, "Photos"'
expect walk '> quit'
[ -f "$device/var/mobile/Tandrel/notes.txt" ] || fail "the handed-over file was not saved"
echo "memory_limit: ok (the welcome ran under $welcome_kb KB, the walk under $walk_kb KB)"
