#!/usr/bin/env bash
# Names from outside through the real binary: files handed over with an escape sequence, a title
# sequence, a direction override or bytes that are not UTF-8 in their names are saved, and the log
# on the terminal carries none of it raw (its error output is scanned byte by byte); a path with
# spaces is handed over quoted as a shell quotes it.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device" "$work/sent"
fail() { echo "FAILED: $*" >&2; exit 1; }

escape=$'hand-\e[31m.txt'
title=$'title-\e]0;owned\a.txt'
override=$'report-\u202egnp.exe'
latin1=$'caf\xe9.txt'
for name in "$escape" "$title" "$override" "$latin1" "My Report.pdf" "My Notes.txt"; do echo "$name" > "$work/sent/$name"; done
{
    echo "tap Skip"
    for name in "$escape" "$title" "$override" "$latin1"; do printf 'handover %s\nwait 1\n' "$work/sent/$name"; done
    printf 'handover "%s"\nwait 1\n' "$work/sent/My Report.pdf"
    printf "handover '%s' com.example.mail\nwait 1\n" "$work/sent/My Notes.txt"
} > "$work/script"
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err"

grep -q '^error:' "$work/out" && { grep '^error:' "$work/out"; fail "a hand-over was refused"; }
app="$device/var/mobile/Tandrel"
for name in "$escape" "$title" "$override" "My Report.pdf" "My Notes.txt"; do
    [ "$(cat "$app/$name" 2> /dev/null)" = "$name" ] || fail "$(printf '%q' "$name") was not saved"
done
[ "$(cat "$app/caf\\xe9.txt" 2> /dev/null)" = "$latin1" ] || fail "the name that is not UTF-8 was not saved under its escaped name"
[ -z "$(ls -A "$device/var/mobile/Documents/Inbox" 2> /dev/null)" ] || fail "a hand-over was left in the inbox"

python3 - "$work/err" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
if not data:
    sys.exit("FAILED: the app logged nothing")
for at, byte in enumerate(data):
    if (byte < 0x20 and byte != 0x0A) or byte == 0x7F:
        sys.exit("FAILED: raw control byte 0x%02x in the log at %d: %r" % (byte, at, data[max(0, at - 40):at + 20]))
text = data.decode("utf-8")  # raises on bytes that are not UTF-8
for mark in ["\u202e", "\u202a", "\u2066", "\x9b"]:
    if mark in text:
        sys.exit("FAILED: raw %r in the log" % mark)
PY
grep -qF 'hand-\x1b[31m.txt' "$work/err" || fail "the log does not show the escaped name"
echo "hostile_names: ok"
