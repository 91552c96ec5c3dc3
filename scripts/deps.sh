#!/usr/bin/env bash
# Installs whatever the build, the tests and the workbench need and is missing.
# The i386 architecture and the 32-bit Wine loader only where this machine runs
# 32-bit code; both cross compilers and the 64-bit loader everywhere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

pkgs=(cmake make gcc g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils
      googletest libgtest-dev imagemagick lua5.4 clang libclang-rt-14-dev python3 python3-pefile zip unzip)

# The probe needs a native C compiler.
command -v cc >/dev/null || pkgs_first=(gcc)

# apt-get update, tried a few times: an index can be broken for a while (one of
# the wrong size while the archive syncs). If it still fails, the install goes
# on with the indexes that did load, and the failing ones are named.
update() {
    local log attempt
    log=$(mktemp)
    for attempt in 1 2 3; do
        if $sudo apt-get update -qq >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        echo "apt-get update failed (attempt $attempt of 3):" >&2
        grep -E '^(E|W):' "$log" | sed 's/^/    /' >&2 || true
        [ "$attempt" -lt 3 ] && sleep 10
    done
    echo "Going on with the package indexes that loaded; these failed:" >&2
    grep -oE "(Failed to fetch|File has unexpected size)[^ ]* [^ ]+" "$log" | sed 's/^/    /' >&2 || true
    rm -f "$log"
}

missing_of() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
    done
}

install() {
    echo "Installing: $*"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null
}

updated=0
if [ -n "${pkgs_first+x}" ]; then
    update
    updated=1
    install "${pkgs_first[@]}"
fi

if [ "$("$root/scripts/arch.sh")" = "x86 x64" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        updated=0
    fi
    pkgs+=(wine32:i386)
fi

mapfile -t missing < <(missing_of "${pkgs[@]}")
if ((${#missing[@]})); then
    ((updated)) || update
    install "${missing[@]}"
fi
