# Sourced by the scripts that drive the app on its sample device: makes the script's folder $work
# (removed when it ends) with the device $device, on which the app has laid out its sample
# library, and gives fail(), media_screen(), run_script() and script_status(). Needs $tandrel and $here.
work="$(mktemp -d "${TMPDIR:-/tmp}/tandrel-e2e-XXXXXX")"
trap 'rm -rf "$work"' EXIT
device="$work/device"
mkdir "$device"
"$tandrel" --device "$device" --sample < /dev/null > /dev/null 2>&1

fail() { echo "FAILED: $*" >&2; exit 1; }
source "$here/script_status.bash"
# The driver lines that open a screen of the Media tab (Photos, Music, Videos) on the sample device,
# past its welcome; the triangle's tip peeks out below the navigation bar.
media_screen() { printf '%s\n' "tab Media" "touch 160,110" "wait 1" "tap $1" "wait 1"; }
# Runs the driver lines in $work/script on the device, the app's output to $work/out (shown) and
# its error output to $work/err; the status is checked against the commands that failed.
run_script() {
    local status=0
    "$tandrel" --device "$device" --script "$work/script" > "$work/out" 2> "$work/err" || status=$?
    cat "$work/out"
    script_status "$status" "$work/out" "the script"
}
expect() { grep -qF -- "$1" "$work/out" || fail "the screens never show: $1"; }
