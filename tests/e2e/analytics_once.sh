#!/usr/bin/env bash
# Exactly once: launches that end by quitting, by going to the background and being killed, and by
# a crash, then a last launch. No report body reaches the collector twice, the session of a run
# that quits is in one report only, every other session in at most two (a left-over session is
# reported by the next launch), and each crash is recorded once, in a session that started in the
# process that crashed.
set -euo pipefail
tandrel="$1"
collector="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/analytics_collector.bash"
crash() {
    printf 'settle\ncrash segv\n' > "$work/script"
    set +e
    "$tandrel" --device "$device" --script "$work/script" > "$work/crash.out" 2>&1
    local status=$?
    set -e
    [ "$status" -eq $((128 + 11)) ] || fail "the crashing run ended with $status"
}

run "location 1.5 1.5 1 1" quit
run "location 2.5 2.5 1 1" quit
run_then_kill settle background settle
crash
run "location 3.5 3.5 1 1" quit
crash
run settle

python3 - "$here/analytics_decode.py" "$received" "$work" <<'PY'
import collections, glob, importlib.util, os, subprocess, sys
found = importlib.util.spec_from_file_location("decode", sys.argv[1])
decode = importlib.util.module_from_spec(found)
found.loader.exec_module(decode)
paths = sorted(glob.glob(os.path.join(sys.argv[2], "*.body")))
bodies = [open(p, "rb").read() for p in paths]
twice = [os.path.basename(p) for p, b in zip(paths, bodies) if bodies.count(b) > 1]
if twice:
    sys.exit("FAILED: bodies received more than once: %s" % ", ".join(twice))
reports = [decode.report(b) for b in bodies]

# Sessions by start time: the reports each one is in.
seen = collections.defaultdict(list)
for number, r in enumerate(reports):
    for s in r["sessions"]:
        seen[s["start"]].append((number, s))
for start, places in seen.items():
    if len(places) > 2:
        sys.exit("FAILED: the session started at %d is in %d reports" % (start, len(places)))
for latitude in (1.5, 2.5, 3.5):
    quitting = [places for places in seen.values() if any(s["latitude"] == latitude for _, s in places)]
    if len(quitting) != 1 or len(quitting[0]) != 1:
        sys.exit("FAILED: the run that quit at latitude %s is reported %r times" % (latitude, [len(p) for p in quitting]))

# Crash records: one per crash, each in a session that started after its process did.
work = sys.argv[3]
proto = os.path.join(os.path.dirname(sys.argv[1]), "..", "..", "sdk", "crashreporter")
records = {}
for start, places in seen.items():
    for _, s in places:
        for e in s["errors"]:
            if e["type"] != 3:
                continue
            report = bytes.fromhex(e["report"])
            text = subprocess.run(["protoc", "--proto_path=" + proto, "--decode=vdcrash.CrashReport", "crash_report.proto"],
                                  input=report[8:], capture_output=True, check=True).stdout.decode()
            fields = dict(line.strip().split(": ", 1) for line in text.splitlines() if line.strip().startswith(("process_id:", "start_time:")))
            pid, began = int(fields["process_id"]), int(fields["start_time"])
            records.setdefault(pid, []).append(start)
            if not began <= start // 1000 <= began + 60:
                sys.exit("FAILED: the crash of process %d (started %d) is in a session started at %d" % (pid, began, start))
if len(records) != 2 or any(len(starts) != 1 for starts in records.values()):
    sys.exit("FAILED: crash records by process: %r" % records)
print("%d bodies, %d sessions, %d crashes, each once" % (len(bodies), len(seen), len(records)))
PY
echo "every report arrived once"
