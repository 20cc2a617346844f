#!/usr/bin/env bash
# The gallery (scripts/screens) runs through every screen of the app and the ad host, and each
# picture shows its layers: an alert's box over the dimmed screen, a sheet's buttons, a picker
# that hides the panel beneath with its cells' thumbnails, the bar buttons' images, the camera's
# live picture, the browser's and the store's bars.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tandrel="$1"
build="$(cd "$(dirname "$tandrel")/.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$here/../../scripts/screens" "$build" "$work"
/usr/bin/python3 "$here/tools/screens_check.py" "$work"
