#!/usr/bin/env bash
# The whole suite: the interpreter core natively, then everything else under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

(cd "$root/build-native" && ctest --output-on-failure -j2)

# A second prefix at 144 DPI for the high-density window checks; its server is
# started and stopped around the ctest run by the tests that use it.
(
    qav_wine_env "$root/build/wineprefix-144" 144 own-display
    qav_stop
)

trap qav_stop EXIT
qav_wine_env "$root/build/wineprefix" 96 own-display
export QAV_PREFIX_144="$root/build/wineprefix-144"
cd "$root/build"
ctest --output-on-failure -j2
