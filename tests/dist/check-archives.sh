#!/usr/bin/env bash
# The release archives, made by scripts/dist.sh from both builds into a scratch
# folder. Both are checked for their contents; the one of this build's
# architecture is unpacked into an empty folder and run there under Wine.
#   check-archives.sh ARCH REPOSITORY RUNNER.exe
set -euo pipefail
arch=$1 root=$2 runner=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/dist.sh" --out "$work"
status=0
for zip in "$work"/QAVDemo-*-win32.zip "$work"/QAVDemo-*-win64.zip; do
    /usr/bin/python3 "$root/tests/dist/check_archive.py" --root "$root" "$zip" || status=1
done

own=$([ "$arch" = x64 ] && echo win64 || echo win32)
other=$([ "$arch" = x64 ] && echo win32 || echo win64)
mkdir "$work/unpacked"
unzip -q "$work"/QAVDemo-*-"$own".zip -d "$work/unpacked"
echo "== the $own archive, unpacked and run"
QAV_DIST_DIR="Z:$work/unpacked" "$root/scripts/wine-exec" "$arch" "$runner" || status=1
echo "== the $other archive: contents checked; it runs in the $other suite, where this machine can run it"
exit "$status"
