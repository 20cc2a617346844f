#!/usr/bin/env bash
# Runs one end-to-end script of a ThreadSanitizer build and fails it when any process the script
# started reported: the app, the ad hosts and the tools write their reports into files here, so a
# report counts wherever the script sends their stderr, and also from a run it kills.
# Usage: tsan_reports.bash command [arguments...]
set -uo pipefail
reports="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-tsan-XXXXXX")"
trap 'rm -rf "$reports"' EXIT
export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS }log_path=$reports/report"
status=0
"$@" || status=$?
found=$(grep -l -e 'WARNING: ThreadSanitizer:' -e 'ERROR: ThreadSanitizer:' "$reports"/report.* 2>/dev/null)
if [ -n "$found" ]; then
    for report in $found; do
        echo "--- $(basename "$report")" >&2
        head -n 400 "$report" >&2
    done
    echo "FAILED: ThreadSanitizer reported in $(echo "$found" | wc -l) process(es)" >&2
    exit 1
fi
exit "$status"
