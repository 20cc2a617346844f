#!/usr/bin/env bash
# Special files where the app expects files: a FIFO handed over (by command and at launch) is
# refused with a clear error, and a FIFO in place of each stored file (the defaults, an analytics
# block, the pending crash report) is taken as a damaged file. The app never waits on one: every
# run ends by itself within its time-out, pause and quit included.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents" "$device/tmp" "$device/Applications"
# Generous for a loaded machine; a hang is for ever.
limit=30

fail() { echo "FAILED: $*" >&2; exit 1; }
run() {
    local status=0
    timeout "$limit" "$tandrel" --device "$device" "$@" > "$work/out" 2> "$work/err" || status=$?
    [ "$status" -ne 124 ] || fail "the app hung ($*)"
    return "$status"
}

mkfifo "$work/pipe.mov"
printf 'handover %s\nbackground\nforeground\nquit\n' "$work/pipe.mov" > "$work/handover.script"
status=0
run --script "$work/handover.script" || status=$?
[ "$status" = 1 ] || fail "the refused hand-over's script ended with status $status"
grep -qF "error: $work/pipe.mov is not a file (only files can be handed over)" "$work/out" || fail "handover of a FIFO gave no clear error"
if run --handover "$work/pipe.mov" --script /dev/null; then fail "a FIFO at launch was accepted"; fi
grep -qF "is not a file" "$work/err" || fail "a FIFO at launch gave no clear error"
[ -z "$(ls -A "$device/var/mobile/Documents/Inbox" 2> /dev/null)" ] || fail "a FIFO reached the inbox"

# A first run leaves the stored files; a crash leaves the pending crash report.
printf 'settle\nbackground\nforeground\nquit\n' > "$work/pause.script"
run --script "$work/pause.script" || fail "a plain run failed"
printf 'settle\ncrash segv\n' > "$work/crash.script"
run --script "$work/crash.script" || true
stored=()
while IFS= read -r file; do stored+=("$file"); done < <(
    find "$device/var/mobile/Library" -type f \( -path '*/Preferences/*.plist' -o -path '*/VuderuFiles/*' -o -name live_report.vdcrash \) |
        grep -v '/\.' | sort)
printf '%s\n' "${stored[@]}" | grep -q live_report.vdcrash || fail "the crash left no pending report"
printf '%s\n' "${stored[@]}" | grep -q '/Preferences/' || fail "no defaults were written"
printf '%s\n' "${stored[@]}" | grep -q '/VuderuFiles/' || fail "no analytics file was written"

for file in "${stored[@]}"; do
    rm -rf "$work/saved"
    cp -a "$device" "$work/saved"
    rm -f "$file"
    mkfifo "$file"
    run --script "$work/pause.script" || fail "a FIFO at ${file#"$device"} failed the run"
    rm -rf "$device"
    mv "$work/saved" "$device"
    echo "FIFO at ${file#"$device"}: the run ended"
done
echo "nonregular_files: ok"
