#!/usr/bin/env bash
# A crash's road: the app dies by SIGSEGV and leaves its report file; the next launch reports the
# crashed run's session with the report as a crash record and removes the file.
set -euo pipefail
tandrel="$1"
collector="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
device="$work/device"
mkdir -p "$device/var/mobile"
source "$here/analytics_collector.bash"
export TANDREL_VUDERU_HOST="127.0.0.1:$port"
fail() { echo "FAILED: $*" >&2; exit 1; }

printf 'help\n' > "$work/help"
"$tandrel" --device "$device" --script "$work/help" > "$work/help.out" 2>&1 || fail "help failed"
grep -q '^  crash' "$work/help.out" && fail "crash is listed in help"

printf 'settle\ncrash segv\n' > "$work/script"
set +e
"$tandrel" --device "$device" --script "$work/script" > "$work/crash.out" 2>&1
status=$?
set -e
[ "$status" -eq $((128 + 11)) ] || fail "the app ended with $status, not by SIGSEGV"
pending="$(find "$device" -name live_report.vdcrash)"
[ -n "$pending" ] || fail "no pending crash report"

printf 'settle\n' > "$work/script"
"$tandrel" --device "$device" --script "$work/script" > "$work/next.out" 2>&1 || fail "the next launch failed"
[ -e "$pending" ] && fail "the pending report was not purged"

python3 - "$here/analytics_decode.py" "$received" <<'PY'
import glob, importlib.util, os, sys
spec = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(spec)
spec.loader.exec_module(decode)
reports = [decode.report(open(p, "rb").read()) for p in sorted(glob.glob(os.path.join(sys.argv[2], "*.body")))]
crashed = [s for r in reports for s in r["sessions"] if any(e["type"] == 3 for e in s["errors"])]
if len(crashed) != 1:
    sys.exit("FAILED: %d sessions carry a crash record" % len(crashed))
session = crashed[0]
record = session["errors"][-1]
if record["type"] != 3 or record["reportPresent"] != 1 or session["totalErrors"] != len(session["errors"]):
    sys.exit("FAILED: crash record %r" % {k: v for k, v in record.items() if k != "report"})
report = bytes.fromhex(record["report"])
if report[:7] != b"vdcrash" or report[7] != 1 or len(report) < 100:
    sys.exit("FAILED: the record does not hold a crash report file (%r)" % report[:8])
PY
echo "the crash reached the collector"
