#!/usr/bin/env bash
# The first-launch welcome: a fresh device shows it, a swipe turns to the second panel and Skip
# dismisses it; the defaults remember it, so the next launch goes straight to the Files tab.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile"
fail() { echo "FAILED: $*" >&2; exit 1; }

printf 'screen\nswipe left\ntap Skip\n' > "$work/script"
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err"
cat "$work/out"
after() { sed -n "/^> $1\$/,/^> /p" "$work/out"; }
sed '/^> swipe left$/,$d' "$work/out" | grep -qF '"Thanks for purchasing Tandrel!"' || fail "no welcome at the first launch"
after 'swipe left' | grep -qF '"Media Sharing!"' || fail "the swipe did not show the second panel"
after 'tap Skip' | grep -qF 'tabs: *"Files"' || fail "Skip did not dismiss the welcome"
after 'tap Skip' | grep -qF 'introduction:' && fail "the welcome is still shown after Skip"

python3 - "$device/var/mobile/Library/Preferences/org.harborstack.tandrel.plist" <<'PY' || fail "the defaults do not record the welcome"
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    defaults = plistlib.load(f)
assert defaults.get("introShow") == "Done", defaults
PY

printf 'screen\n' > "$work/script"
"$tandrel" --device "$device" --script "$work/script" > "$work/out2" 2> "$work/err2"
grep -qF 'introduction:' "$work/out2" && fail "the second launch showed the welcome again"
grep -qF 'screen: TDBrowser' "$work/out2" || fail "the second launch does not show the Files tab"
echo "welcome: ok"
