# Sourced by the analytics scripts: starts the stand-in collector on loopback, writing what it
# receives to $received, with its port in $port. It ends with the script (its input closes).
# Needs $collector and $work.
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
