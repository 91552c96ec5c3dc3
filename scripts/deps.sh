#!/usr/bin/env bash
# Installs whatever the build, the tests and the workbench need and is missing:
# both cross compilers and the 64-bit Wine loader everywhere; the i386
# architecture and the 32-bit Wine loader only where the kernel runs 32-bit code.
#
# The 32-bit loader is the one package the suite can do without. When apt cannot
# install it (seen: an i386 index that fails to load while the archive syncs, so
# that the i386 twins of updated libraries are missing), everything else is
# still installed, the reason is recorded for scripts/arch.sh, and the x86 tests
# are left out. Another try is made after an hour, or at once once the record is
# deleted. Nothing here makes apt trust an index it could not verify.
#
# QAV_APT_RETRY_SECONDS: the pause between tries of apt-get update (10).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
pause=${QAV_APT_RETRY_SECONDS:-10}

pkgs=(cmake make gcc g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth x11-utils
      googletest libgtest-dev imagemagick lua5.4 clang libclang-rt-14-dev python3 python3-pefile zip unzip
      shellcheck)
wine32=wine32:i386
retry_after_minutes=60

# The failures of the last apt-get update, one per line, for the record.
update_failures=""

# apt-get update, tried a few times: an index can be broken for a while. If it
# still fails, the install goes on with the indexes that did load.
update() {
    local log attempt line
    log=$(mktemp)
    for attempt in 1 2 3; do
        if $sudo apt-get update -qq >"$log" 2>&1; then
            rm -f "$log"
            update_failures=""
            return 0
        fi
        echo "apt-get update failed (attempt $attempt of 3):" >&2
        grep -E '^(E|W):' "$log" | sed 's/^/    /' >&2 || true
        if [ "$attempt" -lt 3 ]; then sleep "$pause"; fi
    done
    update_failures=$(short_index_failures <"$log")
    echo "Going on with the package indexes that loaded; these failed:" >&2
    while IFS= read -r line; do echo "    $line"; done <<<"$update_failures" >&2
    rm -f "$log"
}

# apt's "Failed to fetch URL  Reason" lines, as "the SUITE COMPONENT index (Reason)",
# without the archive's address.
short_index_failures() {
    sed -nE 's|^E: Failed to fetch [^ ]*/dists/([^/]+)/([^ ]*)/Packages[^ ]* +([^.[]*).*|the \1 \2 index (\3)|p' |
        sed -E 's/ +\)/)/' | sort -u
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

# Tries the 32-bit loader; on failure records apt's reason, shortened, and says
# what it means and what would mend it.
install_wine32() {
    local log reason record
    record=$("$root/scripts/arch.sh" --record-file)
    log=$(mktemp)
    echo "Installing: $wine32"
    if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$wine32" >"$log" 2>&1; then
        rm -f "$log" "$record"
        return 0
    fi
    reason=$(grep -E '^E:' "$log" | head -n 1 | sed -E 's/^E: *//; s/[. ]+$//')
    [ -n "$reason" ] || reason="apt-get install ended with an error"
    reason="apt-get install $wine32: $reason"
    if [ -n "$update_failures" ]; then
        reason="$reason, after $(paste -sd ';' - <<<"$update_failures" | sed 's/;/ and /g') failed to load"
    fi
    rm -f "$log"
    mkdir -p "$(dirname "$record")"
    echo "$reason" >"$record"
    explain_wine32 "$reason" "$record"
}

explain_wine32() {
    local reason=$1 record=$2
    fold -s -w 88 <<EOF

32-bit Wine could not be installed, so the 32-bit build's tests will not run on this machine. apt says: $reason. Everything else is installed: both builds are still made and their files checked, the 64-bit suite runs in full, and make run starts the 64-bit workbench. The usual cause is an i386 package index that fails to load while the archive syncs: the 32-bit twins of libraries that were updated for amd64 are then missing, and both must have the same version. That mends itself once the index loads again; then "apt-get update && apt-get install $wine32", or deleting $record, lets the next make test run both suites.

EOF
}

updated=0
if ! command -v cc >/dev/null; then
    update
    updated=1
    install gcc
fi

want_wine32=0
if [ "$("$root/scripts/arch.sh" --kernel)" = "x86 x64" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        updated=0
    fi
    [ -z "$(missing_of "$wine32")" ] || want_wine32=1
fi

mapfile -t missing < <(missing_of "${pkgs[@]}")
if ((${#missing[@]})); then
    ((updated)) || update
    updated=1
    install "${missing[@]}"
fi

if ((want_wine32)); then
    record=$("$root/scripts/arch.sh" --record-file)
    if [ -s "$record" ] && [ -n "$(find "$record" -mmin -"$retry_after_minutes")" ]; then
        echo "32-bit Wine could not be installed within the last hour ($(head -n 1 "$record")); not tried again until then. Its tests will not run."
    else
        ((updated)) || update
        install_wine32
    fi
fi
