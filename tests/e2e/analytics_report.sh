#!/usr/bin/env bash
# The analytics road through the real binary, to the stand-in collector: the launch report, then
# the report of the session paused in the background, with its event, location and network.
set -euo pipefail
tandrel="$1"
collector="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/analytics_collector.bash"
printf 'Pack the charger.\n' > "$device/var/mobile/Documents/Notes.txt"

cat > "$work/script" <<'SCRIPT'
tap Skip
network wifi
location 48.8566 2.3522 5 10
tap var
tap mobile
tap Documents
tap Notes.txt
airdrop
background
settle
SCRIPT
TANDREL_VUDERU_HOST="127.0.0.1:$port" "$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" \
    || fail "tandrel ended with an error"
grep -q '^error:' "$work/out" && fail "a command failed: $(grep '^error:' "$work/out")"

[ -f "$received/0001.body" ] || fail "no launch report"
[ -f "$received/0002.body" ] || fail "no pause report"
[ -f "$received/0003.body" ] && fail "more reports than the launch and the pause"

python3 - "$here/analytics_decode.py" "$received/0001.body" "$received/0002.body" <<'PY'
import importlib.util, sys
found = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(found)
found.loader.exec_module(decode)
# Uploads run side by side, so the two reports may arrive in either order: the launch report is
# the one without sessions.
reports = sorted((decode.report(open(path, "rb").read()) for path in sys.argv[2:4]), key=lambda r: len(r["sessions"]))
launch, pause = reports

def check(what, got, expected):
    if got != expected:
        sys.exit("FAILED: %s is %r, not %r" % (what, got, expected))

check("launch sessions", len(launch["sessions"]), 0)
check("header", pause["header"], [29, 4, 1, 0, 0])
check("platform", pause["platform"], 2)
check("agent", pause["agent"], 137)
check("key", pause["key"], "TNDRL7K2Q9X4M1B8C5VW")
check("version", pause["appVersion"], "1.0")
check("device properties", sorted(pause["device"]), ["device.arch", "device.model.1", "device.os.version", "scr.height", "scr.width"])
check("device.arch", pause["device"]["device.arch"]["value"], "arm64")
check("sessions", len(pause["sessions"]), 1)
s = pause["sessions"][0]
check("event counts", s["eventCounts"], {"Welcome screen did show": 1, "File sent through AirDrop": 1})
check("events", [e["name"] for e in s["events"]], ["Welcome screen did show", "File sent through AirDrop"])
check("event duration", s["events"][0]["duration"], 0)
check("latitude", s["latitude"], 48.856)
check("longitude", s["longitude"], 2.352)
check("accuracy", s["accuracy"], 7.5)
check("network status", s["network"], 2)
check("session version", s["version"], 2)
PY
echo "analytics reports decoded"
