#!/usr/bin/env bash
# Starts the workbench under Wine with the sample interpreter beside it. Without
# a display it runs on a virtual one and saves a screenshot of the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

headless=0
[ -n "${DISPLAY:-}" ] || headless=1
trap qav_stop EXIT
qav_wine_env "$root/build/wineprefix" 96

cd "$root/build/bin"
wine QAVDemo.exe &
app=$!

if ((headless)); then
    shot="$root/build/screenshot.png"
    for _ in $(seq 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"QAV Demo"' && break
        sleep 0.2
    done
    sleep 1
    import -window root -crop 1000x620+0+0 +repage "$shot"
    echo "No display: the workbench runs on the virtual display $DISPLAY."
    echo "Screenshot of its window: $shot"
    if [ -t 0 ]; then
        echo "Press Ctrl-C to stop it."
    else
        wine cmd /c exit >/dev/null 2>&1 || true
        kill "$app" 2>/dev/null || true
    fi
fi
wait "$app" 2>/dev/null || true
