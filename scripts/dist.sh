#!/usr/bin/env bash
# Writes the release archives from the two builds (make build first):
#   dist/QAVDemo-<version>-win32.zip from the x86 build, -win64.zip from the x64 build
# Each holds the workbench, the sample interpreter, qavcheck, the contract header,
# the template libraries in C and C++, the docs, a README for users and the licence. The version
# is the project's, from CMakeLists.txt, as in the version resource. The files'
# times are the last commit's, so the same tree gives the same archives.
#   dist.sh [--out DIR]   writes into DIR instead of dist/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/build-folders.env
. "$root/scripts/build-folders.env"
out="$root/dist"
if [ "${1:-}" = --out ]; then
    out=${2:?"--out needs a folder"}
fi
version=$(sed -n 's/^project(QAVDemo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ]; then
    echo "dist: no version in CMakeLists.txt's project()" >&2
    exit 1
fi
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
mkdir -p "$out"
out=$(cd "$out" && pwd)

pack() {
    local name=$1 bin=$2 strip=$3 stage zip
    for f in QAVDemo.exe QAV.dll qavcheck.exe; do
        if [ ! -f "$bin/$f" ]; then
            echo "dist: $bin/$f is missing: run make build first" >&2
            return 1
        fi
    done
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' RETURN
    mkdir -p "$stage/examples/minimal" "$stage/examples/minimal-cpp" "$stage/docs"
    cp "$bin/QAVDemo.exe" "$bin/QAV.dll" "$bin/qavcheck.exe" "$stage/"
    # The symbols are for debugging the build; the programs run the same without
    # them. The header's time stamp becomes the commit's too.
    SOURCE_DATE_EPOCH=$stamp "$strip" --strip-all "$stage/QAVDemo.exe" "$stage/QAV.dll" "$stage/qavcheck.exe"
    cp "$root/contract/QAVInterface.h" "$stage/"
    cp "$root/examples/minimal/minimal.c" "$root/examples/minimal/minimal.def" \
       "$root/examples/minimal/README.md" "$stage/examples/minimal/"
    cp "$root/examples/minimal-cpp/minimal.cpp" "$root/examples/minimal-cpp/README.md" "$stage/examples/minimal-cpp/"
    cp "$root/docs/language.md" "$root/docs/authors.md" "$stage/docs/"
    cp "$root/docs/README-dist.md" "$stage/README.md"
    cp "$root/LICENSE" "$stage/LICENSE.txt"
    find "$stage" -exec touch -h -d "@$stamp" {} +
    zip="$out/QAVDemo-$version-$name.zip"
    rm -f "$zip"
    (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$zip" -@)
    echo "$zip: $(stat -c %s "$zip") bytes"
}

pack win32 "$root/$QAV_BUILD_X86/bin" i686-w64-mingw32-strip
pack win64 "$root/$QAV_BUILD_X64/bin" x86_64-w64-mingw32-strip
