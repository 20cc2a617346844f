#!/usr/bin/env bash
# Served HTML ads through the ad-space view in the ad host: a templated banner at the bottom of
# the container, a click out of the app with its ad log, a modal banner, a banner whose delayed
# frame switch waits while the host is covered, and a page on a closed port.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_space.py" "${TANDREL_ADHOST:?the ad host binary}"
