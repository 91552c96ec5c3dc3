# shellcheck shell=bash
# shellcheck disable=SC2034  # "status" is the caller's, read after the call
# Sourced by scripts/test.sh: one ctest run of a build folder, read from the
# JUnit file that ctest writes.
#   run_ctest NAME DIR
# adds a line to the caller's array "summary" and sets "status" to 1 when a test
# failed or was skipped, or ctest reported none. Tests that fail are run once
# more, alone: a test program that Wine fails to start now and then must not
# fail the suite, but every such test is named in the summary. With "dry" set it
# only names the run.

# "total failed skipped" from a JUnit file, or nothing when it names no test.
ctest_counts() {
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/ctest-junit.py" "$@"
}

run_ctest() {
    local name=$1 dir=$2 junit counts code
    if [ -n "${dry:-}" ]; then
        echo "== $name: would run ctest in $dir"
        summary+=("$name: dry run, ctest in $dir")
        return
    fi
    junit=$(mktemp)
    (cd "$dir" && ctest --output-on-failure -j2 --output-junit "$junit")
    code=$?
    counts=$(ctest_counts "$junit")
    if [ -z "$counts" ]; then
        rm -f "$junit"
        summary+=("$name: did not run (ctest exit code $code)")
        status=1
        return
    fi
    local total failed skipped names
    read -r total failed skipped <<<"$counts"
    # GoogleTest's parameterised tests carry their parameter after a "#".
    names=$(ctest_counts --failed "$junit" | sed 's/ *#.*//' | paste -sd, -)
    local again=""
    if [ "$failed" -ne 0 ] && [ "$skipped" -eq 0 ]; then
        echo "== $name: the $failed failed tests once more: $names"
        (cd "$dir" && ctest --rerun-failed --output-on-failure --output-junit "$junit")
        local code2=$? second
        second=$(ctest_counts "$junit")
        if [ "$code2" -eq 0 ] && [ "$second" = "$failed 0 0" ]; then
            again=" ($failed failed on the first run and passed on the second: $names)"
            failed=0
            code=0
        fi
    fi
    rm -f "$junit"
    local passed=$((total - failed - skipped))
    summary+=("$name: $passed of $total tests passed, $failed failed, $skipped skipped$again")
    if [ "$code" -ne 0 ] || [ "$failed" -ne 0 ] || [ "$skipped" -ne 0 ]; then
        status=1
    fi
}
