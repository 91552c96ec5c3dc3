#!/usr/bin/env bash
# Runs every benchmark program: native ones directly, Windows ones under Wine on
# a virtual display. Each prints its own figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

for b in "$root"/build-native/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    (cd "$(dirname "$b")" && "$b")
done

trap qav_stop EXIT
qav_wine_env "$root/build/wineprefix" 96 own-display
for b in "$root"/build/bin/bench_*.exe; do
    [ -f "$b" ] || continue
    echo "== $(basename "$b")"
    (cd "$(dirname "$b")" && wine "$b")
done
