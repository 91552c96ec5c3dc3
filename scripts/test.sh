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

# Runs ctest in a build folder and adds its counts to the summary; a failed or
# skipped test fails the run.
# Counts from a ctest log: "total failed skipped", or nothing when ctest reported none.
ctest_counts() {
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    [ -n "$line" ] || return 0
    echo "$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")" \
         "$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")" \
         "$(grep -cE '\*\*\*Skipped|Not Run' "$1")"
}

# Runs ctest in a build folder and adds its counts to the summary; a failed or
# skipped test fails the run. Tests that fail are run once more, alone: a test
# program that Wine fails to start now and then must not fail the suite, but
# every such test is named in the summary.
run_ctest() {
    local name=$1 dir=$2 log counts
    if [ -n "$dry" ]; then
        echo "== $name: would run ctest in $dir"
        summary+=("$name: dry run, ctest in $dir")
        return
    fi
    log=$(mktemp)
    (cd "$dir" && ctest --output-on-failure -j2) 2>&1 | tee "$log"
    local code=${PIPESTATUS[0]}
    counts=$(ctest_counts "$log")
    rm -f "$log"
    if [ -z "$counts" ]; then
        summary+=("$name: did not run (ctest exit code $code)")
        status=1
        return
    fi
    local total failed skipped
    read -r total failed skipped <<<"$counts"
    local again=""
    if [ "$failed" -ne 0 ] && [ "$skipped" -eq 0 ]; then
        local names
        names=$(cut -d: -f2- "$dir/Testing/Temporary/LastTestsFailed.log" | sed 's/ *#.*//' | paste -sd, -)
        echo "== $name: the $failed failed tests once more: $names"
        log=$(mktemp)
        (cd "$dir" && ctest --rerun-failed --output-on-failure) 2>&1 | tee "$log"
        local code2=${PIPESTATUS[0]} second
        second=$(ctest_counts "$log")
        rm -f "$log"
        if [ "$code2" -eq 0 ] && [ -n "$second" ] && [ "${second%% *}" -eq "$failed" ]; then
            again=" ($failed failed on the first run and passed on the second: $names)"
            failed=0
            code=0
        fi
    fi
    local passed=$((total - failed - skipped))
    summary+=("$name: $passed of $total tests passed, $failed failed, $skipped skipped$again")
    if [ "$code" -ne 0 ] || [ "$failed" -ne 0 ] || [ "$skipped" -ne 0 ]; then
        status=1
    fi
}

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
run_ctest native "$root/build-native"
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
