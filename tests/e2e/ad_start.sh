#!/usr/bin/env bash
# The smallest host starts the ads as the README says, with no other call, and its ad is shown
# in a real ad-space view.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_start.py" "${TANDREL_ADSTART:?the smallest ad host binary}"
