#!/usr/bin/env bash
# Runs every benchmark program: native ones directly, Windows ones under Wine on
# a virtual display, for each architecture this machine can execute. Each
# prints its own figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

for b in "$root"/build-native/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    (cd "$(dirname "$b")" && "$b")
done

# Benchmarks that are scripts, such as the size of the release archives.
for s in "$root"/bench/*/bench.sh; do
    [ -f "$s" ] || continue
    echo "== $(basename "$(dirname "$s")")"
    bash "$s"
done

trap qav_stop EXIT
arches=$("$root/scripts/arch.sh")
case " $arches " in
    *" x86 "*) ;;
    *) echo "== x86 benchmarks not run: $("$root/scripts/arch.sh" --why)" ;;
esac
for arch in $arches; do
    build="$root/build$([ "$arch" = x64 ] && echo -x64)"
    qav_wine_env "$arch" "$build/wineprefix" 96 own-display
    for b in "$build"/bin/bench_*.exe; do
        [ -f "$b" ] || continue
        echo "== $arch $(basename "$b")"
        (cd "$(dirname "$b")" && $QAV_WINE "$b")
    done
    qav_stop
done
