#!/bin/sh
# Screenshots of every dialog of the Windows program, as Wine draws them on the test X server:
#   resource_screenshots.sh BUILD_DIR PREVIEW_EXE OUT_DIR
# resource_preview.exe shows one view at a time and names the screen rectangle in HANDSHAKE/ready;
# this script cuts that rectangle out of the root window with ImageMagick's import, saves it as
# OUT_DIR/NAME.png and answers with HANDSHAKE/done.
set -eu
build=$1
preview=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v import >/dev/null 2>&1; then
    echo "import (imagemagick) is missing; run scripts/deps.sh test" >&2
    exit 1
fi
DISPLAY=":$(cat "$build/xvfb/display")"
export DISPLAY
mkdir -p "$out"
rm -f "$out"/*.png
handshake=$(mktemp -d)
trap 'rm -rf "$handshake"' EXIT
"$here/../../../cmake/wine-run.sh" "$build" "$preview" "Z:$handshake" >"$handshake/log" 2>&1 &
pid=$!
count=0
idle=0
while kill -0 "$pid" 2>/dev/null; do
    if [ -f "$handshake/ready" ]; then
        read -r name x y w h <"$handshake/ready"
        rm -f "$handshake/ready"
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
        echo "$out/$name.png"
        count=$((count + 1))
        idle=0
        : >"$handshake/done"
    else
        idle=$((idle + 1))
        # Wine's first start in a fresh prefix takes a while; a view never takes long.
        if [ "$idle" -gt 1800 ]; then
            echo "no view announced for three minutes" >&2
            kill "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.1
    fi
done
status=0
wait "$pid" || status=$?
cat "$handshake/log"
if [ "$status" -ne 0 ] || [ "$count" -eq 0 ]; then
    echo "resource_preview failed (exit $status, $count screenshots)" >&2
    exit 1
fi
echo "$count screenshots in $out"
