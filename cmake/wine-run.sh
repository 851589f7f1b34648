#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
# The Wine prefix lives inside the build tree; the first caller creates it, others wait.
build=$1
shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${DISPLAY:-}" ] && [ -s "$build/xvfb/display" ]; then
    DISPLAY=":$(cat "$build/xvfb/display")"
    export DISPLAY
fi
if [ ! -f "$WINEPREFIX/.ready" ]; then
    mkdir -p "$WINEPREFIX"
    flock "$build/wineprefix.lock" sh -c '
        [ -f "$WINEPREFIX/.ready" ] && exit 0
        wineboot -i >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.ready"'
fi
exec wine "$@"
