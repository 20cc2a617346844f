#!/usr/bin/env bash
# Commands on standard input (not a terminal): no prompt, the screen after each command, and an
# unknown command answered with an error while the app goes on (the status then 1, as a script's;
# at a terminal 0).
# Standard input that is /dev/null or closed is input that has ended, without a message.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/var/mobile"
fail() { echo "FAILED: $*" >&2; exit 1; }
# Piped commands are a script: the unknown command makes it end with status 1.
status=0
printf 'tap Skip\nfrobnicate\ntap var\nhelp\nquit\ntap mobile\n' | "$tandrel" --device "$work/device" > "$work/out" || status=$?
cat "$work/out"
[ "$status" = 1 ] || fail "piped commands with an unknown one ended with status $status"
# A person at a terminal saw each error as it came: the app ends with status 0 after one.
python3 - "$tandrel" "$work/device" <<'PY' || fail "a terminal session with an unknown command did not end with status 0"
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], "--device", sys.argv[2]])
os.write(fd, b"frobnicate\nquit\n")
out = b""
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
status = os.waitpid(pid, 0)[1]
if b'unknown command "frobnicate"' not in out:
    sys.exit("no error for the unknown command: %r" % out[-500:])
sys.exit(0 if os.waitstatus_to_exitcode(status) == 0 else "status %d" % os.waitstatus_to_exitcode(status))
PY
for input in /dev/null closed; do
    status=0
    if [ "$input" = closed ]; then "$tandrel" --device "$work/device" > "$work/quiet" 2> "$work/quiet.err" <&- || status=$?
    else "$tandrel" --device "$work/device" > "$work/quiet" 2> "$work/quiet.err" < "$input" || status=$?; fi
    [ "$status" = 0 ] || fail "standard input $input: status $status"
    ! grep -q 'NSRunLoop' "$work/quiet.err" || fail "standard input $input: $(grep NSRunLoop "$work/quiet.err")"
done
grep -q 'tandrel>' "$work/out" && fail "a prompt was printed"
grep -qF 'error: unknown command "frobnicate"' "$work/out" || fail "no error for an unknown command"
grep -qF 'nav: "var"' "$work/out" || fail "tap var did not open /var"
grep -qF 'accessory N' "$work/out" || fail "help was not printed"
grep -qF 'nav: "mobile"' "$work/out" && fail "a command after quit ran"
# The sample device is made when no device is given.
home="$work/home"
printf 'tap Skip\nscreen\n' | HOME="$home" XDG_DATA_HOME= TANDREL_DEVICE= "$tandrel" > "$work/sample"
[ -d "$home/.local/share/tandrel/device/var/mobile/Documents" ] || fail "no sample device"
grep -qF 'Applications' "$work/sample" || fail "the sample device's root is not listed"
echo "standard input: ok"
