#!/usr/bin/env bash
# Runs every benchmark program: native ones directly, Windows ones under Wine on
# a virtual display, for each architecture this machine can execute. Each
# prints its own figures. With QAV_DRY_RUN=1 it only names what it would run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
dry=${QAV_DRY_RUN:-}

# Runs a command in a folder, or with QAV_DRY_RUN only names it.
bench_in() {
    local dir=$1
    shift
    if [ -n "$dry" ]; then
        echo "would run in $dir: $*"
    else
        (cd "$dir" && "$@")
    fi
}

for b in "$(qav_build_dir native)"/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    bench_in "$(dirname "$b")" "$b"
done

# Benchmarks that are scripts, such as the size of the release archives.
for s in "$root"/bench/*/bench.sh; do
    [ -f "$s" ] || continue
    echo "== $(basename "$(dirname "$s")")"
    bench_in "$root" bash "$s"
done

trap qav_stop EXIT
arches=$("$root/scripts/arch.sh")
case " $arches " in
    *" x86 "*) ;;
    *) echo "== x86 benchmarks not run: $("$root/scripts/arch.sh" --why)" ;;
esac
for arch in $arches; do
    build=$(qav_build_dir "$arch")
    [ -n "$dry" ] || qav_wine_env "$arch" "$build/wineprefix" 96 own-display
    for b in "$build"/bin/bench_*.exe; do
        [ -f "$b" ] || continue
        echo "== $arch $(basename "$b")"
        bench_in "$(dirname "$b")" "$root/scripts/wine-exec" "$arch" "$b"
    done
    [ -n "$dry" ] || qav_stop
done
