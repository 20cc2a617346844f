#!/usr/bin/env bash
# The road of one ad through the ad host: configuration, fetch and display, the player-asset
# bundle and the video in the asset cache, an event's tracking GET and ad-log uploads.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_road.py" "${TANDREL_ADHOST:?the ad host binary}"
