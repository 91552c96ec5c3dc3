#!/usr/bin/env bash
# The contract header compiles without a warning (-Wall -Wextra -pedantic, as
# errors) at every language level an author may choose, with every compiler
# here that can build for Windows or natively: both MinGW-w64 compilers, clang
# for both Windows targets, the native gcc and clang. Where the level has static
# assertions, the header's checks of the table's layout are on. The templates,
# in C and C++, also build with <windows.h> included first, as a real adapter
# includes it; the C template's .def file names the library as the header's does.
# Usage: tests/qavcheck/header_levels.sh REPOSITORY
set -uo pipefail
root=$(cd "${1:?repository}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The assertions are on exactly where the language has them.
cat >"$work/header.c" <<'SOURCE'
#include "QAVInterface.h"
#include "QAVInterface.h"
#if (defined(__cplusplus) && __cplusplus >= 201103L) || \
    (!defined(__cplusplus) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L)
#ifndef QAV_STATIC_ASSERT
#error the layout is not checked at a level that has static assertions
#endif
#elif defined(QAV_STATIC_ASSERT)
#error static assertions are used at a level without them
#endif
int main(void) { return QAV_POS_EXECUTE == 15 ? 0 : 1; }
SOURCE
cp "$work/header.c" "$work/header.cpp"

# name, C compiler, C++ compiler, flags; a Windows target also builds the template.
compilers=(
    "mingw-w64 i686|i686-w64-mingw32-gcc|i686-w64-mingw32-g++|"
    "mingw-w64 x86_64|x86_64-w64-mingw32-gcc|x86_64-w64-mingw32-g++|"
    "clang i686-w64-mingw32|clang|clang++|--target=i686-w64-mingw32"
    "clang x86_64-w64-mingw32|clang|clang++|--target=x86_64-w64-mingw32"
    "gcc native|gcc|g++|"
    "clang native|clang|clang++|"
)
warnings=(-Wall -Wextra -pedantic -Werror)
failed=0
passed=0
check() {
    local what=$1 output
    shift
    if output=$("$@" 2>&1); then
        passed=$((passed + 1))
    else
        echo "FAILED: $what"
        echo "  $*"
        printf '%s\n' "$output" | sed 's/^/  /'
        failed=$((failed + 1))
    fi
}

for entry in "${compilers[@]}"; do
    IFS='|' read -r name cc cxx flags <<<"$entry"
    read -r -a extra <<<"$flags"
    if ! command -v "$cc" >/dev/null || ! command -v "$cxx" >/dev/null; then
        echo "left out: $name: $cc or $cxx is not installed"
        continue
    fi
    for level in c89 c99 c11; do
        check "$name -std=$level" "$cc" "${extra[@]}" -std="$level" "${warnings[@]}" -fsyntax-only \
            -I"$root/contract" "$work/header.c"
    done
    for level in c++98 c++11 c++20; do
        check "$name -std=$level" "$cxx" "${extra[@]}" -std="$level" "${warnings[@]}" -fsyntax-only \
            -I"$root/contract" "$work/header.cpp"
        check "$name -std=$level QAV_BUILDING_LIBRARY" "$cxx" "${extra[@]}" -std="$level" "${warnings[@]}" \
            -DQAV_BUILDING_LIBRARY -fsyntax-only -I"$root/contract" "$work/header.cpp"
    done
    case "$name" in
        *mingw32* | mingw-w64*)
            for level in c99 c11; do
                check "$name -std=$level template with <windows.h>" "$cc" "${extra[@]}" -std="$level" \
                    "${warnings[@]}" -include windows.h -fsyntax-only -I"$root/contract" \
                    "$root/examples/minimal/minimal.c"
            done
            ;;
    esac
    # clang finds no C++ library for the Windows targets here: the C++ template goes to MinGW's g++.
    case "$name" in
        mingw-w64*)
            for level in c++17 c++20; do
                check "$name -std=$level C++ template with <windows.h>" "$cxx" -std="$level" "${warnings[@]}" \
                    -include windows.h -fsyntax-only -I"$root/contract" "$root/examples/minimal-cpp/minimal.cpp"
            done
            ;;
    esac
done

# The LIBRARY line an author pastes from the header, and the template's.
same_library() {
    local header def
    header=$(sed -n 's/^ \* *\(LIBRARY .*\)$/\1/p' "$root/contract/QAVInterface.h")
    def=$(sed -n 's/^\(LIBRARY .*\)$/\1/p' "$root/examples/minimal/minimal.def" | tr -d '\r')
    [ -n "$header" ] && [ "$header" = "$def" ]
}
check "minimal.def and QAVInterface.h name the library alike" same_library
echo "header_levels: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
