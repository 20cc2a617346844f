#!/usr/bin/env bash
# A crash's road: the app dies by SIGSEGV and leaves its report file; the next launch reports the
# crashed run's session with the report as a crash record and removes the file.
set -euo pipefail
tandrel="$1"
collector="$2"
formatter="$3"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/analytics_collector.bash"

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

python3 - "$here/analytics_decode.py" "$received" "$work/record" <<'PY'
import glob, importlib.util, os, sys
found = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(found)
found.loader.exec_module(decode)
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
open(sys.argv[3] + ".vdcrash", "wb").write(report)
open(sys.argv[3] + ".pb", "wb").write(report[8:])
PY

# The record's message, read by protoc from the report schema alone.
protoc --proto_path="$here/../../sdk/crashreporter" --decode=vdcrash.CrashReport crash_report.proto \
    < "$work/record.pb" > "$work/record.txt" 2> "$work/protoc.err" || fail "protoc cannot decode the record: $(cat "$work/protoc.err")"
grep -q 'name: "SIGSEGV"' "$work/record.txt" || fail "the record's signal is not SIGSEGV"
grep -q 'code: "SEGV_MAPERR"' "$work/record.txt" || fail "the record's signal code is not SEGV_MAPERR"
grep -q 'crashed: true' "$work/record.txt" || fail "no crashed thread in the record"
grep -q 'identifier: "org.harborstack.tandrel"' "$work/record.txt" || fail "the record names another application"

# The text crash log of the same bytes.
"$formatter" "$work/record.vdcrash" > "$work/record.log" || fail "the formatter refused the record"
grep -q '^Incident Identifier: ' "$work/record.log" || fail "no header in the crash log"
grep -q '^Exception Type:  SIGSEGV' "$work/record.log" || fail "no exception type in the crash log"
grep -q '^Thread [0-9]* Crashed:' "$work/record.log" || fail "no crashed thread in the crash log"
# (Sections are cut to files first: grep -q ending a pipe early would fail it under pipefail.)
sed -n '/^Thread [0-9]* Crashed:/,/^$/p' "$work/record.log" > "$work/crashed.txt"
sed -n '/^Binary Images:/,$p' "$work/record.log" > "$work/images.txt"
grep -q 'faultByNullRead' "$work/crashed.txt" || fail "the crashed thread does not name the faulting function"
grep -q 'Thread State' "$work/record.log" || fail "no register block"
grep -q ' +tandrel ' "$work/images.txt" || fail "the executable is not marked in the binary images: $(sed -n '/^Binary Images:/,+3p' "$work/record.log")"
echo "the crash reached the collector"
