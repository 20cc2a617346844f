#!/usr/bin/env bash
# Sessions that outlive their run: a run killed while its session is active is reported by the
# next launch; a run that quits sends its closing report, at the latest from the next launch.
set -euo pipefail
tandrel="$1"
collector="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/analytics_collector.bash"

# 1. Killed: the location is saved with the session; help shows once the commands before it ran.
run_then_kill "location 1.5 2.5 1 1" settle

# 2. The next launch reports the killed run's session.
run settle
# 3. A run that quits; 4. the launch after it.
run "location 3.5 4.5 1 1" quit
run settle

python3 - "$here/analytics_decode.py" "$received" <<'PY'
import glob, importlib.util, os, sys
found = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(found)
found.loader.exec_module(decode)
reports = [decode.report(open(p, "rb").read()) for p in sorted(glob.glob(os.path.join(sys.argv[2], "*.body")))]
sessions = [s for r in reports for s in r["sessions"]]
killed = [s for s in sessions if s["latitude"] == 1.5]
if len(killed) != 1 or killed[0]["length"] != -1:
    sys.exit("FAILED: the killed run's session is reported %d times (%r)" % (len(killed), [s["length"] for s in killed]))
closed = [s for s in sessions if s["latitude"] == 3.5 and s["length"] >= 0]
if not closed:
    sys.exit("FAILED: the quitting run's closing report did not arrive")
PY
echo "left-over and closing sessions reported"
