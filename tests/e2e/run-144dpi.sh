#!/bin/sh
# Runs the geometry tests of the end-to-end suite in the 144 DPI Wine prefix
# named by QAV_PREFIX_144, on the caller's display:
#   run-144dpi.sh x86|x64 TEST_PROGRAM
# Exit 77 (skipped) without that prefix.
if [ -z "$QAV_PREFIX_144" ] || [ ! -d "$QAV_PREFIX_144" ]; then
    echo "QAV_PREFIX_144 not set: skipped"
    exit 77
fi
case "$1" in
    x86) export WINEARCH=win32 ;;
    *) export WINEARCH=win64 ;;
esac
export WINEPREFIX="$QAV_PREFIX_144" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export QAV_EXPECT_DPI=144
# The server ends by itself a few seconds after the last process of this prefix.
wineserver -p5 </dev/null >/dev/null 2>&1
exec "$(dirname "$0")/../../scripts/wine-exec" "$1" "$2" --gtest_filter='Geometry*'
