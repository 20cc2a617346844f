#!/usr/bin/env bash
# A typical ad request built and encoded by the SDK beside Avro C's generic value interface alone
# (aim: at most 1.2 times its time).
set -euo pipefail
"$1/bench/bench_ad_request"
