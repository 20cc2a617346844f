# Sourced by the analytics scripts: makes the script's folder $work (removed when it ends) with a
# fresh device in $device, starts the stand-in collector on loopback, writing what it receives to
# $received, with its port in $port, points the app at it, and gives fail(), run() and
# run_then_kill(). The collector ends with the script (its input closes). Needs $collector and
# $tandrel.
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
device="$work/device"
mkdir -p "$device/var/mobile/Documents"
# Says why, with what the app said on its error output when a script keeps it in $work/err.
fail() { echo "FAILED: $*" >&2; cat "$work/err" >&2 2>/dev/null || true; exit 1; }
received="$work/received"
mkdir -p "$received"
mkfifo "$work/collector.in"
"$collector" "$received" < "$work/collector.in" > "$work/collector.out" 2> "$work/collector.err" &
collector_pid=$!
exec 3> "$work/collector.in"
trap 'exec 3>&-; wait "$collector_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
# The port line is written before anything else; reading the output file until it shows is the
# only wait (bounded).
for _ in $(seq 1 200); do [ -s "$work/collector.out" ] && break; sleep 0.05; done
port="$(head -n 1 "$work/collector.out")"
[ -n "$port" ] || { echo "FAILED: the collector did not start" >&2; exit 1; }
export TANDREL_VUDERU_HOST="127.0.0.1:$port"
# Runs the app on the device with the given driver lines as its script; its output in $work/out.
run() { printf '%s\n' "$@" > "$work/script"; "$tandrel" --device "$device" --script "$work/script" > "$work/out" 2>&1 || fail "tandrel failed: $(tail -n 5 "$work/out")"; }
# Starts the app on the device, gives it the driver lines and then help, and kills it (SIGKILL) once
# help has answered, so every line before it has run; its output in $work/killed.out.
run_then_kill() {
    rm -f "$work/app.in"
    mkfifo "$work/app.in"
    "$tandrel" --device "$device" < "$work/app.in" > "$work/killed.out" 2>&1 &
    local app=$!
    exec 4> "$work/app.in"
    printf '%s\n' "$@" help >&4
    for _ in $(seq 1 400); do grep -qF 'accessory N' "$work/killed.out" && break; sleep 0.05; done
    grep -qF 'accessory N' "$work/killed.out" || fail "the run to be killed did not answer: $(tail -n 5 "$work/killed.out")"
    kill -KILL "$app"
    wait "$app" 2>/dev/null || true
    exec 4>&-
}
