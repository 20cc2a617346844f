#!/usr/bin/env bash
# The options button over the middle tab: its five items (Clean, the maker's site, About, the
# maker's profile, the share circle), the overlay darkening the Files tab, and the share circle's
# sheets: mail sent, an Error alert without an account, and Twitter only when the probe answers.
set -euo pipefail
tandrel="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
server_pid=""
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
device="$work/device"
mkdir -p "$device/var/mobile/Tandrel/Trip" "$device/Applications"
printf 'song' > "$device/var/mobile/Tandrel/song.m4a"
printf 'notes' > "$device/var/mobile/Tandrel/Trip/notes.txt"

# run OUT [ARGS...] < script: the app on the device, its screens in OUT.
run() { local out="$1"; shift; "$tandrel" --device "$device" "$@" --script "$work/script" > "$out" 2> "$out.err" || fail "tandrel failed: $(cat "$out.err")"; }
after() { sed -n "/^> $2\$/,/^> /p" "$1"; }
# The disc's centre, where a finger starts a drag onto a sharer.
centre="160,284"

# The menu opens over a darkened Files tab; each item is chosen in its turn. A closing menu keeps
# the button disabled until its overlay has faded, a step that starts a moment after the choice:
# a wait lets both pass before the next opening.
cat > "$work/script" <<SCRIPT
tap Skip
pixel 20,300
tap gear
wait 1
pixel 20,300
tap trash
press Clean
wait 1
tap gear
wait 1
tap globe
wait 1
tap gear
wait 1
tap exclamation
press Close
wait 1
tap gear
wait 1
tap twitterBR
wait 1
tap gear
wait 1
tap share
wait 1
drag $centre Mail
wait 1
send
SCRIPT
run "$work/out"
cat "$work/out"
grep -q '^error:' "$work/out" && fail "a command failed: $(grep '^error:' "$work/out")"
after "$work/out" 'tap trash' | grep -qF 'alert: "Clean"' || fail "no Clean confirmation"
pixels="$(grep '^20,300:' "$work/out")"
[ "$(sed -n 1p <<< "$pixels")" = "20,300: 255 255 255 255" ] || fail "the Files tab is not white before the menu"
# Black at 0.7 over white leaves 0.3 of it.
grep -qE '^20,300: 7[67] 7[67] 7[67] 255$' <<< "$(sed -n 2p <<< "$pixels")" || fail "the overlay does not darken the Files tab"
[ -d "$device/var/mobile/Tandrel" ] || fail "Clean removed the app folder"
[ -z "$(ls -A "$device/var/mobile/Tandrel")" ] || fail "Clean left $(ls -A "$device/var/mobile/Tandrel")"
after "$work/out" 'tap globe' | grep -qF 'opened: http://harborstack.org/' || fail "globe did not open the maker's site"
after "$work/out" 'tap exclamation' | grep -qF 'alert: "About"' || fail "no About alert"
after "$work/out" 'tap twitterBR' | grep -qF 'opened: https://mobile.twitter.com/quorrelhub' || fail "the profile did not open on the mobile site"
mail='compose: mail subject "Tandrel!" body "I love using Tandrel by Zorik Orvenhal (<a href="https://twitter.com/quorrelhub">@quorrelhub</a>) for sharing files & media using AirDrop. <a href="http://cydia.harborstack.org/package/org.harborstack.tandrel">Check it out!</a>"'
grep -qF "$mail" "$work/out" || fail "the mail sheet is not as written"
after "$work/out" 'send' | grep -qF "sent: ${mail#compose: }" || fail "the mail was not recorded as sent"

# With Tweetbot installed the profile opens there.
mkdir -p "$device/Applications/Tweetbot.app"
cat > "$device/Applications/Tweetbot.app/Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.tweetbot</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array><string>tweetbot</string></array></dict></array>
</dict></plist>
PLIST
printf 'tap gear\nwait 1\ntap twitterBR\n' > "$work/script"
run "$work/tweetbot"
after "$work/tweetbot" 'tap twitterBR' | grep -qF 'opened: tweetbot:///user_profile/quorrelhub' || fail "Tweetbot was not preferred"

# Without accounts each sheet is replaced by its Error alert half a second later.
printf 'tap gear\nwait 1\ntap share\nwait 1\ndrag %s Mail\nwait 1\nwait 0.5\n' "$centre" > "$work/script"
run "$work/none" --accounts none
after "$work/none" 'wait 0.5' | grep -qF 'alert: "Error" "Please sign-in to your Email account from Settings"' || fail "no mail Error alert"
grep -qF 'compose:' "$work/none" && fail "a sheet was shown without an account"

# Twitter asks the probe first: a closed loopback port means offline, and nothing happens.
printf 'tap gear\nwait 1\ntap share\nwait 1\ndrag %s Twitter\nwait 1\n' "$centre" > "$work/script"
TANDREL_PROBE_URL="http://127.0.0.1:1/" run "$work/offline"
grep -qE 'compose:|alert:' "$work/offline" && fail "Twitter offline did more than nothing"
grep -qF 'Selected sharer: Twitter' "$work/offline.err" || fail "the Twitter choice never reached the app"

# A loopback server answering the probe: the tweet sheet.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work" > "$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do grep -q 'port' "$work/server.out" && break; sleep 0.1; done
port="$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out" | head -1)"
[ -n "$port" ] || fail "the loopback server did not start"
TANDREL_PROBE_URL="http://127.0.0.1:$port/" run "$work/online"
grep -q '^compose: .*I love using Tandrel by @quorrelhub for sharing files & media using AirDrop!' "$work/online" \
    || fail "no tweet sheet with the text: $(grep compose "$work/online")"
# Names act on what is in front: over a folder, with the menu open, its overlay covers the
# navigation bar, so Back (and a row) reach the overlay, which closes the menu, and the folder stays.
printf 'tap var\ntap gear\nwait 1\ntap Back\nwait 1\ntap gear\nwait 1\nrow 0\nwait 1\n' > "$work/script"
run "$work/front"
grep -q '^error:' "$work/front" && fail "a command failed over the menu: $(grep '^error:' "$work/front")"
# What the Nth command of the script left on the screen.
block() { awk -v n="$2" '/^> /{k++} k==n' "$1"; }
block "$work/front" 3 | grep -qF 'trash' || fail "the menu did not open over the folder: $(block "$work/front" 3)"
block "$work/front" 3 | grep -qF '[Back]' && fail "the covered Back button was listed: $(block "$work/front" 3)"
for n in 5 9; do
    grep -qF 'nav: "var"' <<< "$(block "$work/front" "$n")" || fail "command $((n - 1)) left the folder: $(block "$work/front" "$n")"
    grep -qF 'trash' <<< "$(block "$work/front" "$n")" && fail "command $((n - 1)) left the menu open: $(block "$work/front" "$n")"
done
echo "options menu: ok"
