#!/bin/sh
# Starts or stops the X server that display tests use: xvfb.sh start|stop BUILD_DIR
# -noreset keeps the server (and the pointer position) when its last client leaves.
dir="$2/xvfb"
case "$1" in
start)
    mkdir -p "$dir"
    if [ -s "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null; then exit 0; fi
    rm -f "$dir/display"
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$dir/display" \
        >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/pid"
    i=0
    while [ ! -s "$dir/display" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then echo "Xvfb did not start; see $dir/xvfb.log" >&2; exit 1; fi
        sleep 0.1
    done
    echo "Xvfb on :$(cat "$dir/display")"
    ;;
stop)
    [ -s "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid" "$dir/display"
    command -v wineserver >/dev/null && WINEPREFIX="$2/wineprefix" wineserver -k 2>/dev/null
    exit 0
    ;;
esac
