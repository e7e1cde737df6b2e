#!/usr/bin/env bash
# no_display.sh GRAPHMILL VERSION: --help and --version answer without a display, wherever they stand among
# the arguments, and with a display named that cannot be reached; without them the program still says that
# it has no display.
set -euo pipefail
app=$1 version=$2
bare=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE)
fail() {
    echo "no_display: $*" >&2
    exit 1
}
[ "$("${bare[@]}" "$app" --version)" = "graphmill $version" ] || fail "--version"
"${bare[@]}" "$app" --help | grep -q "^Usage: graphmill \[OPTION\]... \[FILE\]..." || fail "--help"
"${bare[@]}" "$app" -h | grep -q "^  -h, --help" || fail "-h"
[ "$("${bare[@]}" DISPLAY=:4711 "$app" a.dat --version)" = "graphmill $version" ] || fail "--version after a file"
set +e
err=$("${bare[@]}" "$app" a.dat 2>&1 >/dev/null)
status=$?
set -e
[ $status -eq 1 ] || fail "without a display and without --help: exit $status, not 1"
[[ $err == *"no X display"* ]] || fail "without a display: $err"
echo "no_display: graphmill $version answers without a display"
