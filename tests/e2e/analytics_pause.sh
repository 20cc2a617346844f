#!/usr/bin/env bash
# A session paused in the background and resumed: each report carries the times a device would
# give. A second in the app, five in the background, two more in the app: the report of the first
# pause says 1000 ms of session, the report of the second 8000 ms of which 5000 ms paused. The
# first report's upload runs within the five seconds, as a wait's seconds include a transfer's.
set -euo pipefail
tandrel="$1"
collector="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/analytics_collector.bash"

cat > "$work/script" <<'SCRIPT'
tap Skip
wait 1
background
wait 5
foreground
wait 2
background
settle
SCRIPT
TANDREL_VUDERU_HOST="127.0.0.1:$port" "$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" \
    || fail "tandrel ended with an error"
grep -q '^error:' "$work/out" && fail "a command failed: $(grep '^error:' "$work/out")"

python3 - "$here/analytics_decode.py" "$received"/*.body <<'PY'
import importlib.util, sys
found = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(found)
found.loader.exec_module(decode)
sessions = [s for path in sys.argv[2:] for s in decode.report(open(path, "rb").read())["sessions"]]
got = sorted((s["length"], s["pause"]) for s in sessions)
print("sessions (length, pause):", got)
if got != [(1000, 0), (8000, 5000)]:
    sys.exit("FAILED: the paused sessions report %r, not [(1000, 0), (8000, 5000)]" % got)
PY
echo "analytics pause: ok"
