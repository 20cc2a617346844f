# Sourced by the scripts that run the app with a driver script. A script ends with status 1 when
# any of its commands was answered with an error (a line of its output beginning "error:"), else 0.
# script_status STATUS OUT WHAT: fails the calling script (its fail()) unless STATUS is that.
script_status() {
    local failed
    failed="$(grep -c '^error:' "$2" || true)"
    local want=0
    [ "$failed" -eq 0 ] || want=1
    [ "$1" = "$want" ] || fail "$3: status $1 after $failed failed commands"
}
