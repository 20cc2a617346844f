#!/usr/bin/env bash
# The crash-time report of a process with 20 threads and 200 opened images against gdb's
# backtraces and library list, and against eu-stack's stacks, of the same process (aim: under
# 10 ms, no allocation, at least 20 times faster than gdb). Where ptrace is not allowed, only our
# figures are printed.
set -euo pipefail
"$1/bench/bench_crash_report" "$1/platform/system/libtandrel_test_module.so"
