#!/usr/bin/env bash
# Ads of other networks in the ad host: an AdMob frame served by the loopback ad server shows the
# stand-in SDK's banner, and a network that fails (or is absent) falls over to the next unit.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_networks.py" "${TANDREL_ADHOST:?the ad host binary}"
