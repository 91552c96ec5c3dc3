#!/usr/bin/env bash
# The README's picture as make run makes it without a display: the workbench
# just after a Run of the example docs/language.md marks, cropped to its window.
# Checked: the picture is the window's size (the client area and a frame), it
# is not mostly black, and no edge of it is a black margin.
#   picture-test.sh ARCH REPOSITORY
set -euo pipefail
arch=$1 root=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shot="$work/shot.png"
"$root/scripts/picture.sh" "$arch" "$shot"

read -r width height < <(identify -format '%w %h\n' "$shot")
# The client area is 868 x 532 pixels at 96 DPI; the frame and caption add to it.
status=0
if ((width < 868 || width > 868 + 40 || height < 532 + 15 || height > 532 + 80)); then
    echo "the picture is ${width}x${height}: not the window's size" >&2
    status=1
fi
# The share of pixels brighter than 15% grey, over the whole and over each edge.
light() {
    convert "$shot" "$@" -colorspace Gray -threshold 15% -format '%[fx:mean]' info:
}
check() {
    local what=$1 share=$2
    if ! awk -v s="$share" 'BEGIN { exit !(s >= 0.9) }'; then
        echo "$what: only $share of its pixels are not black" >&2
        status=1
    fi
}
check "the picture" "$(light)"
check "its top edge" "$(light -crop "${width}x3+0+0")"
check "its bottom edge" "$(light -gravity south -crop "${width}x3+0+0")"
check "its left edge" "$(light -crop "3x${height}+0+0")"
check "its right edge" "$(light -gravity east -crop "3x${height}+0+0")"
echo "picture ${width}x${height}, checked"
exit "$status"
