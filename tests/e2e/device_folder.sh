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

printf 'tap Skip\nscreen\n' | "$tandrel" --device "$work/missing" --sample > "$work/out"
[ -f "$work/missing/var/mobile/Documents/Notes.txt" ] || fail "no sample device made in the folder"
grep -qF 'Applications' "$work/out" || fail "the sample device's root is not listed"
echo "device folder: ok"
