#!/usr/bin/env bash
# Installs whatever the build, the tests and the workbench need and is missing.
set -euo pipefail

pkgs=(cmake make g++ g++-mingw-w64-i686 wine wine32:i386 xvfb xauth x11-utils
      googletest libgtest-dev imagemagick lua5.4 clang libclang-rt-14-dev)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    update=1
fi

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if ((${#missing[@]})) || ((update)); then
    echo "Installing: ${missing[*]:-(package lists only)}"
    $sudo apt-get update -qq
    if ((${#missing[@]})); then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
fi
