#!/usr/bin/env bash
# The player-asset bundle through the ad host: a failed download is asked for again with the next
# reply, and a bundle holding only the close image is unpacked.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_bundle.py" "${TANDREL_ADHOST:?the ad host binary}"
