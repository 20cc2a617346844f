#!/usr/bin/env bash
# Mediation in the ad host: a network that never answers, the per-network throttle, a Millennial
# interstitial over the root controller, and the failure codes the host hears without the SDKs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/tools/ad_mediation.py" "${TANDREL_ADHOST:?the ad host binary}"
