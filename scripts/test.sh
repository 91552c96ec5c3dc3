#!/usr/bin/env bash
# The whole suite: the interpreter core natively; both Windows builds checked
# without running them; then, for each architecture this machine can execute,
# every Windows test under Wine, in a 96 DPI prefix and a 144 DPI one.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
version=$(sed -n 's/^project(QAVDemo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

arches=$("$root/scripts/arch.sh")
echo "== This machine executes: $arches"
why_no_x86=""
case " $arches " in
    *" x86 "*) ;;
    *) why_no_x86=$("$root/scripts/arch.sh" --why)
       echo "== x86: its tests cannot run here: $why_no_x86" ;;
esac

status=0
summary=()

# Runs ctest in a build folder and adds its counts to the summary; a failed or
# skipped test fails the run.
run_ctest() {
    local name=$1 dir=$2 log
    log=$(mktemp)
    (cd "$dir" && ctest --output-on-failure -j2) 2>&1 | tee "$log"
    local code=${PIPESTATUS[0]}
    local line total failed skipped
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    skipped=$(grep -cE '\*\*\*Skipped|Not Run' "$log")
    rm -f "$log"
    if [ -z "$line" ]; then
        summary+=("$name: did not run (ctest exit code $code)")
        status=1
        return
    fi
    local passed=$((total - failed - skipped))
    summary+=("$name: $passed of $total tests passed, $failed failed, $skipped skipped")
    if [ "$code" -ne 0 ] || [ "$failed" -ne 0 ] || [ "$skipped" -ne 0 ]; then
        status=1
    fi
}

run_static() {
    local arch=$1 dir=$2 line
    echo "== $arch: the built files, checked without running them"
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

echo "== native: the interpreter core"
run_ctest native "$root/build-native"
run_static x86 "$root/build"
run_static x64 "$root/build-x64"
for arch in x86 x64; do
    case " $arches " in
        *" $arch "*) run_windows "$arch" "$root/build$([ "$arch" = x64 ] && echo -x64)" ;;
    esac
done

echo
echo "== Summary"
for line in "${summary[@]}"; do
    echo "   $line"
done
[ -z "$why_no_x86" ] || echo "   x86 tests: not run, $why_no_x86"
[ -z "$why_no_x86" ] || echo "   win32 archive: its contents checked (dist_archives), not run, $why_no_x86"
if [ "$status" -eq 0 ]; then
    echo "== All suites passed on: $arches"
else
    echo "== FAILED: see the lines above"
fi
exit "$status"
