#!/usr/bin/env bash
# The whole suite: the interpreter core natively; both Windows builds checked
# without running them; then, for each architecture this machine can execute,
# every Windows test under Wine, in a 96 DPI prefix and a 144 DPI one.
# With QAV_DRY_RUN=1 it runs nothing and names each suite it would run, with the
# same summary; QAV_ARCHES and the other settings of scripts/arch.sh apply.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
dry=${QAV_DRY_RUN:-}
version=$(sed -n 's/^project(QAVDemo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

arches=$("$root/scripts/arch.sh") || exit 1
echo "== This machine executes: $arches"
why_no_x86=""
case " $arches " in
    *" x86 "*) ;;
    *) why_no_x86=$("$root/scripts/arch.sh" --why)
       echo "== x86: its tests cannot run here: $why_no_x86" ;;
esac

status=0
summary=()
# shellcheck source=scripts/ctest-run.sh
. "$root/scripts/ctest-run.sh"

run_static() {
    local arch=$1 dir=$2 line
    echo "== $arch: the built files, checked without running them"
    if [ -n "$dry" ]; then
        summary+=("$arch files: dry run, $dir/bin")
        return
    fi
    if line=$(/usr/bin/python3 "$root/tests/static/check_pe.py" --arch "$arch" --version "$version" "$dir/bin"); then
        summary+=("$arch files: $(tail -n 1 <<<"$line")")
    else
        echo "$line"
        summary+=("$arch files: FAILED: $(tail -n 1 <<<"$line")")
        status=1
    fi
}

run_windows() {
    local arch=$1 dir=$2
    echo "== $arch: every Windows test under Wine"
    if [ -n "$dry" ]; then
        run_ctest "$arch" "$dir"
        return
    fi
    # The 144 DPI prefix is made first; its server is started and stopped around
    # the ctest run by the test that uses it.
    (
        qav_wine_env "$arch" "$dir/wineprefix-144" 144 own-display
        qav_stop
    )
    qav_wine_env "$arch" "$dir/wineprefix" 96 own-display
    export QAV_PREFIX_144="$dir/wineprefix-144"
    run_ctest "$arch" "$dir"
    qav_stop
}

echo "== native: the interpreter core and the scripts"
run_ctest native "$(qav_build_dir native)"
run_static x86 "$(qav_build_dir x86)"
run_static x64 "$(qav_build_dir x64)"
for arch in $arches; do
    run_windows "$arch" "$(qav_build_dir "$arch")"
done

echo
echo "== Summary"
for line in "${summary[@]}"; do
    echo "   $line"
done
if [ -n "$why_no_x86" ]; then
    echo "   win32 archive: its contents checked (dist_archives), not run"
    echo "   x86: not run: $why_no_x86"
fi
if [ -n "$dry" ]; then
    echo "== Dry run: nothing was run, on: $arches"
elif [ "$status" -eq 0 ]; then
    echo "== All suites passed on: $arches"
else
    echo "== FAILED: see the lines above"
fi
exit "$status"
