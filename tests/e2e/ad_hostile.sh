#!/usr/bin/env bash
# Hostile ad servers through the ad host: a reply of 200,000 units, a bundle that is a zip bomb,
# and a unit whose frames move to one another for ever; each stays within its bound.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_hostile.py" "${TANDREL_ADHOST:?the ad host binary}"
