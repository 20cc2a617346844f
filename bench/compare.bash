# Shared by the bench/*.sh scripts. Every benchmark measures ours beside a peer tool the same way:
# both run alternately in one run, BENCH_RUNS times each (at least 5; the order flips every round so
# neither side always runs on a warmer machine), and the script prints each side's median wall time
# (with its fastest and slowest run), median CPU time (user and system: what a busy machine
# changes least) and median peak memory, then the ratio of the medians and the
# lowest and highest ratio of one round's pair, and the ratio of the CPU medians. A single run of each, in a fixed order,
# swings too much on a busy machine to be read.
#
# Usage, after sourcing (the caller owns the scratch folder $work and removes it):
#   ours=(command and arguments)        # an external command (no shell functions)
#   peer=(command and arguments)
#   bench_before_each() { ...; }          # optional: runs before every run of either side (clean-up)
#   bench_check_ours() { ...; }           # optional: runs after each run of ours; fail to stop the bench
#   bench_check_peer() { ...; }
#   bench_compare "our label" "peer label" [aim text]
# After it returns, bench_median_seconds_ours / _peer and bench_median_kb_ours / _peer hold the medians.

BENCH_RUNS="${BENCH_RUNS:-5}"
[ "$BENCH_RUNS" -ge 5 ] 2>/dev/null || BENCH_RUNS=5

bench_before_each() { :; }
bench_check_ours() { :; }
bench_check_peer() { :; }

# The CPU time (user and system) of this shell's waited-for children so far, in seconds, to the
# millisecond, from a file that bash's `times` wrote in this shell (in a subshell, as in $(...), it
# would count the subshell's own children). /usr/bin/time's figures are in hundredths, too coarse
# for a launch of a few dozen milliseconds.
bench_children_cpu() { # file `times` wrote
    awk 'NR == 2 {
        total = 0
        for (i = 1; i <= 2; ++i) { split($i, t, /[ms]/); total += t[1] * 60 + t[2] }
        printf "%.3f\n", total
    }' "$1"
}

# bench_run_once SIDE: one run of ${SIDE}[@]; appends its seconds, CPU seconds and peak KiB to the
# side's lists.
bench_run_once() {
    local side="$1" start end seconds kilobytes
    local -n command="$side"
    bench_before_each
    times > "$bench_work/times.before"
    start="$EPOCHREALTIME"
    # What a run says on stderr (logs) is kept aside, and shown when it fails.
    if ! /usr/bin/time -f '%M' -o "$bench_work/time" "${command[@]}" > "$bench_work/out.$side" 2> "$bench_work/err.$side"; then
        echo "  ${command[0]} failed:"; tail -n 20 "$bench_work/err.$side"; exit 1
    fi
    end="$EPOCHREALTIME"
    times > "$bench_work/times.after"
    kilobytes="$(tail -n 1 "$bench_work/time")"
    seconds="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')"
    "bench_check_$side"
    echo "$seconds" >> "$bench_work/seconds.$side"
    echo "$kilobytes" >> "$bench_work/kb.$side"
    awk -v a="$(bench_children_cpu "$bench_work/times.before")" -v b="$(bench_children_cpu "$bench_work/times.after")" \
        'BEGIN { printf "%.3f\n", b - a }' >> "$bench_work/cpu.$side"
}

bench_median() { # file
    sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

bench_min_max() { # file: "min..max"
    sort -g "$1" | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s..%s", lo, hi }'
}

bench_compare() { # our label, peer label, [aim]
    local ours_label="$1" peer_label="$2" aim="${3:-}" round
    bench_work="${work:?bench_compare needs a scratch folder in work}/.bench"
    rm -rf "$bench_work" && mkdir -p "$bench_work"
    for round in $(seq 1 "$BENCH_RUNS"); do
        if [ $((round % 2)) -eq 1 ]; then bench_run_once ours; bench_run_once peer
        else bench_run_once peer; bench_run_once ours; fi
    done
    bench_median_seconds_ours="$(bench_median "$bench_work/seconds.ours")"
    bench_median_seconds_peer="$(bench_median "$bench_work/seconds.peer")"
    bench_median_kb_ours="$(bench_median "$bench_work/kb.ours")"
    bench_median_kb_peer="$(bench_median "$bench_work/kb.peer")"
    bench_median_cpu_ours="$(bench_median "$bench_work/cpu.ours")"
    bench_median_cpu_peer="$(bench_median "$bench_work/cpu.peer")"
    printf '  %d runs each, alternating; medians (min..max of the runs):\n' "$BENCH_RUNS"
    printf '  %-28s %9.4f s  (%s)  cpu %7.3f s  peak %8.0f KiB\n' "$ours_label" "$bench_median_seconds_ours" \
        "$(bench_min_max "$bench_work/seconds.ours")" "$bench_median_cpu_ours" "$bench_median_kb_ours"
    printf '  %-28s %9.4f s  (%s)  cpu %7.3f s  peak %8.0f KiB\n' "$peer_label" "$bench_median_seconds_peer" \
        "$(bench_min_max "$bench_work/seconds.peer")" "$bench_median_cpu_peer" "$bench_median_kb_peer"
    paste "$bench_work/seconds.ours" "$bench_work/seconds.peer" | awk '$2 > 0 { printf "%.4f\n", $1 / $2 }' \
        > "$bench_work/ratios"
    awk -v a="$bench_median_seconds_ours" -v b="$bench_median_seconds_peer" -v aim="$aim" \
        -v ca="$bench_median_cpu_ours" -v cb="$bench_median_cpu_peer" \
        -v pairs="$(bench_min_max "$bench_work/ratios")" 'BEGIN {
        printf "  time ratio ours/peer (median): %.2f   (pairs: %s)", (b > 0) ? a / b : 0, pairs
        if (aim != "") printf "   (aim: %s)", aim
        if (cb > 0) printf "   cpu ratio: %.2f", ca / cb
        printf "\n"
    }'
    bench_print_load
}

# The machine's load averages and its cores, printed with every ratio: a ratio read on a busy
# machine says less.
bench_print_load() {
    local one five fifteen rest
    read -r one five fifteen rest < /proc/loadavg
    printf '  load: %s %s %s on %s cores (this bench may use %s)\n' "$one" "$five" "$fifteen" "$(getconf _NPROCESSORS_ONLN)" "$(nproc)"
}

# The first CPU this process may run on: a one-core pass keeps to the CPU set it was started with.
bench_first_cpu() {
    python3 -c 'import os; print(min(os.sched_getaffinity(0)))'
}
