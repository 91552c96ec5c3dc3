#!/usr/bin/env bash
# Starts the workbench under Wine with the sample interpreter beside it: the
# 32-bit build where this machine runs 32-bit programs, the 64-bit one otherwise,
# saying why. Without a display it runs on a virtual one, makes a Run of the
# README's example and saves a picture of the window (scripts/picture.sh). With QAV_DRY_RUN=1 it only says which workbench it would start.
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

if ((headless)); then
    # Nothing to look at: a picture of the window after a Run of the README's example.
    shot="$(qav_build_dir x86)/screenshot.png"
    echo "No display: the workbench runs on the virtual display $DISPLAY."
    if [ -t 0 ]; then
        "$root/scripts/picture.sh" "$arch" "$shot" --keep
        echo "Press Ctrl-C to stop it."
        wineserver -w
    else
        "$root/scripts/picture.sh" "$arch" "$shot"
    fi
    exit 0
fi

cd "$build/bin"
$QAV_WINE QAVDemo.exe
