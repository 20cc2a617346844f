#!/usr/bin/env bash
# The toolbox's CRC-32 against zlib's crc32 (aim: at least 0.8 times zlib's throughput).
set -euo pipefail
"$1/bench/bench_crc32"
