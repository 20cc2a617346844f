#!/usr/bin/env bash
# Served video ads through the ad-space view in the ad host: a VAST video and a native video play
# over the player's overlay, their tracking pings reach the loopback ad server, a scrub ahead is
# undone and a click opens the click-through.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_video.py" "${TANDREL_ADHOST:?the ad host binary}"
