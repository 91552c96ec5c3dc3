#!/bin/sh
# Runs the geometry tests of the end-to-end suite in the 144 DPI Wine prefix
# named by QAV_PREFIX_144, on the caller's display. Exit 77 (skipped) without it.
[ -n "$QAV_PREFIX_144" ] && [ -d "$QAV_PREFIX_144" ] || { echo "QAV_PREFIX_144 not set: skipped"; exit 77; }
export WINEPREFIX="$QAV_PREFIX_144" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export QAV_EXPECT_DPI=144
# The server ends by itself a few seconds after the last process of this prefix.
wineserver -p5 </dev/null >/dev/null 2>&1
exec wine "$1" --gtest_filter='Geometry*'
