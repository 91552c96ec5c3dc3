#!/usr/bin/env bash
# Starts the workbench under Wine with the sample interpreter beside it: the
# 32-bit build where this machine runs 32-bit programs, the 64-bit one otherwise,
# saying why. Without a display it runs on a virtual one and saves a screenshot
# of the window. With QAV_DRY_RUN=1 it only says which workbench it would start.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"

case " $("$root/scripts/arch.sh") " in
    *" x86 "*) arch=x86 ;;
    *) arch=x64
       echo "32-bit programs cannot run here ($("$root/scripts/arch.sh" --why)), so the 64-bit workbench starts." ;;
esac
build=$(qav_build_dir "$arch")
echo "Starting the $arch workbench: $build/bin/QAVDemo.exe"
[ -z "${QAV_DRY_RUN:-}" ] || exit 0

headless=0
[ -n "${DISPLAY:-}" ] || headless=1
trap qav_stop EXIT
qav_wine_env "$arch" "$build/wineprefix" 96

cd "$build/bin"
$QAV_WINE QAVDemo.exe &
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
        kill "$app" 2>/dev/null || true
    fi
fi
wait "$app" 2>/dev/null || true
