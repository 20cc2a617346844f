#!/usr/bin/env bash
# A song handed to the app while the audio-import library and an app of the "bridgeAPIvA" scheme
# are on the device: after "File saved" the app asks whether to import; Import writes the metadata
# property list into the temporary folder and opens the import app's URL with its path.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir -p "$device/var/mobile/Documents" "$device/Library/MobileSubstrate/DynamicLibraries" "$device/Applications/Bridge.app"
printf 'library' > "$device/Library/MobileSubstrate/DynamicLibraries/BridgeImport.dylib"
cat > "$device/Applications/Bridge.app/Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.bridge</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array><string>bridgeAPIvA</string></array></dict></array>
</dict></plist>
PLIST
printf 'song' > "$work/song.m4a"

cat > "$work/script" <<SCRIPT
tap Skip
handover $work/song.m4a
press Import
screen
SCRIPT

fail() { echo "FAILED: $*" >&2; exit 1; }
"$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err"
cat "$work/out"
grep -qF 'opened: bridgeAPIvA:///var/mobile/tmp/BridgeImportMetadata.plist' "$work/out" || fail "the import app was not opened"
python3 - "$device/var/mobile/tmp/BridgeImportMetadata.plist" <<'PY' || fail "the metadata is not as the import app reads it"
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    plist = plistlib.load(f)
assert plist == {"Multi": 0, "Contents": "/var/mobile/Tandrel/song.m4a"}, plist
assert type(plist["Multi"]) is int, plist
PY
[ "$(cat "$device/var/mobile/Tandrel/song.m4a")" = "song" ] || fail "the song was not saved"
echo "audio import: ok"
