#!/usr/bin/env bash
# Pages in the ad host's web view loader: a loopback page's text, a followed link, a touch on an
# absolutely placed element, the body's colour, a looping page, a missing file, the pre-render time-out.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_page.py" "${TANDREL_ADHOST:?the ad host binary}"
