#!/usr/bin/env bash
# The accounts the simulated device is signed in to: set at launch (--accounts) or by the driver
# (accounts LIST); a bad list is refused with a clear error and changes nothing.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/tmp"

fail() { echo "FAILED: $*" >&2; exit 1; }

status=0
"$tandrel" --device "$device" --accounts mail,bogus --script /dev/null > /dev/null 2> "$work/err" || status=$?
[ "$status" -eq 2 ] || fail "--accounts with an unknown account exits with $status"
grep -qF 'tandrel: --accounts: unknown account "bogus"' "$work/err" || fail "no clear error: $(cat "$work/err")"

cat > "$work/script" <<SCRIPT
accounts bogus
accounts twitter,sms
accounts
send
cancel
SCRIPT
status=0
"$tandrel" --device "$device" --accounts none --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out"
# The script runs commands that fail on purpose (the bad account lists and missing sheets): it ends with status 1.
[ "$status" = 1 ] || fail "the script ended with status $status"
expect() { grep -qF -- "$1" "$work/out" || fail "the screens never show: $1"; }
expect 'error: unknown account "bogus" (mail, sms, facebook, twitter or none)'
expect 'accounts: sms,twitter'
expect 'error: accounts what?'
expect 'error: no compose sheet on screen'
expect 'error: no sheet on screen'
echo "device accounts: ok"
