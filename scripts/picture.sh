#!/usr/bin/env bash
# Saves a picture of the workbench just after a Run of the example that
# docs/language.md marks for the README, cropped to the window's frame:
#   picture.sh ARCH OUT.png [--keep]
# It runs in the caller's Wine environment and on its display (wine-env.sh),
# with the ARCH build's workbench and the sample QAV.dll beside it. With --keep
# the workbench stays open; otherwise it is closed, and one that does not end
# with exit code 0 fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
arch=${1:?"usage: picture.sh ARCH OUT.png [--keep]"}
out=${2:?"usage: picture.sh ARCH OUT.png [--keep]"}
keep=${3:-}
bin="$(qav_build_dir "$arch")/bin"
wine=("$root/scripts/wine-exec" "$arch")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^<!-- The README.s picture/ { marked = 1; next }
     marked && /^```qav$/ { inside = 1; next }
     inside && /^```$/ { exit }
     inside { print }' "$root/docs/language.md" >"$work/program.qav"
if [ ! -s "$work/program.qav" ]; then
    echo "picture.sh: docs/language.md marks no example for the picture" >&2
    exit 1
fi

showcase=("${wine[@]}" "$bin/qav_showcase.exe" "Z:$bin/QAVDemo.exe" "Z:$work/program.qav")
if [ "$keep" = --keep ]; then
    "${showcase[@]}" >"$work/rect"
else
    "${showcase[@]}" --close-when "Z:$work/done" >"$work/rect" &
    pid=$!
    for _ in $(seq 1200); do
        [ -s "$work/rect" ] || ! kill -0 "$pid" 2>/dev/null && break
        sleep 0.1
    done
fi
read -r left top width height <"$work/rect" || {
    echo "picture.sh: the workbench was not shown" >&2
    exit 1
}
import -window root -crop "${width}x${height}+${left}+${top}" +repage "$out"
if [ "$keep" != --keep ]; then
    touch "$work/done"
    wait "$pid"
fi
echo "$out: the $arch workbench, ${width}x${height} pixels"
