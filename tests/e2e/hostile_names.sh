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

# A name holding a backslash shows it doubled, apart from a name holding a line break, and a name
# ending in a space shows it where it would hide; tap takes both back as they show.
backslash='a\nb.txt'
trailing='notes.txt '
for name in "$backslash" "$trailing"; do echo "$name" > "$work/sent/$name"; done
cat > "$work/names" <<SCRIPT
handover '$work/sent/$backslash'
wait 1
handover '$work/sent/$trailing'
wait 5
tap received
wait 1
tap a\\\\nb.txt
cancel
tap notes.txt\\x20
cancel
SCRIPT
"$tandrel" --device "$device" --script "$work/names" > "$work/out" 2> "$work/err"
! grep -q '^error:' "$work/out" || { cat "$work/out"; fail "a name was not taken back as it shows: $(grep '^error:' "$work/out")"; }
[ "$(grep -c '^menu:' "$work/out")" -ge 2 ] || { cat "$work/out"; fail "the named rows did not open the document menu"; }
grep -qF 'a\\nb.txt' "$work/out" || fail "the backslash was not shown doubled"
[ "$(cat "$app/$backslash" 2> /dev/null)" = "$backslash" ] || fail "the name with a backslash was not saved"
[ "$(cat "$app/$trailing" 2> /dev/null)" = "$trailing" ] || fail "the name ending in a space was not saved"
echo "hostile_names: ok"
