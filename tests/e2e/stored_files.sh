#!/usr/bin/env bash
# A stored file of any size: an 8 GB sparse file (it costs no disk) in place of each file the app
# and its SDK keep (the defaults, the keychain, the analytics senders' index and a block, the
# pending crash report) is refused by its size, never read into memory: the app starts, shows its
# screen and quits. The defaults and the keychain set such a file aside as damaged.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
pristine="$work/pristine"
mkdir -p "$pristine"
fail() { echo "FAILED: $*" >&2; exit 1; }

# A run that writes every store: the welcome's defaults, the analytics session (kept as a block
# while the collector is away), then a crash that leaves its report.
printf 'tap Skip\nsettle 1\ncrash segv\n' > "$work/crash.script"
# (The crash's notice from the shell is kept off the output.)
("$tandrel" --device "$pristine" --script "$work/crash.script" > "$work/out" 2> "$work/err" || true) 2> /dev/null
found() { find "$pristine" -name "$1" -type f | head -n 1; }
defaults="$pristine/var/mobile/Library/Preferences/org.harborstack.tandrel.plist"
keychain="$pristine/var/mobile/Library/Keychains/keychain.plist"
index="$(found VuderuSenderIndex.info)"
block="$(find "$pristine" -path '*VuderuFiles/*' -type f -regextype posix-extended \
    -regex '.*/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}' | head -n 1)"
report="$(found live_report.vdcrash)"
[ -f "$defaults" ] || fail "no defaults were written"
[ -n "$index" ] || fail "no senders' index was written"
[ -n "$block" ] || fail "no analytics block was written"
[ -n "$report" ] || fail "no crash report was left"
mkdir -p "$(dirname "$keychain")"

printf 'settle 1\nquit\n' > "$work/script"
for stored in "$defaults" "$keychain" "$index" "$block" "$report"; do
    name="${stored#"$pristine"}"
    rm -rf "$device"
    cp -a "$pristine" "$device"
    truncate -s 8G "$device$name"
    # A minute is far beyond any bounded read; it only ends a run that would read gigabytes.
    status=0
    timeout 60 "$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
    [ "$status" -eq 0 ] || fail "$name of 8 GB: the app ended with $status"
    grep -q '^screen:' "$work/out" || fail "$name of 8 GB: the app showed no screen"
    case "$name" in
    */Preferences/* | */Keychains/*)
        [ -f "$device$name.corrupt" ] || fail "$name of 8 GB was not set aside"
        grep -q "too large for a store" "$work/err" || fail "$name of 8 GB: no log line says why it was set aside"
        ;;
    */VuderuSenderIndex.info)
        grep -q "too large for an archive; ignored" "$work/err" || fail "$name of 8 GB: no log line says it was ignored"
        ;;
    esac
    echo "$name of 8 GB: the app started, answered and quit"
done
echo "stored_files: ok"
