#!/usr/bin/env bash
# Outcomes of ads through the ad host: a VAST wrapper unit, a frequency cap kept across a
# relaunch, a server error and no network, a waiting take answered by the reply, and keywords
# that empty the cache.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_outcomes.py" "${TANDREL_ADHOST:?the ad host binary}"
