#!/usr/bin/env bash
# Which Windows architectures this machine can run under Wine:
#   arch.sh               "x86 x64" or "x64"
#   arch.sh --why         why 32-bit programs do not run here; nothing when they do
#   arch.sh --kernel      what the kernel runs, whether or not 32-bit Wine is
#                         installed: "x86 x64" or "x64"
#   arch.sh --record-file where scripts/deps.sh keeps why 32-bit Wine could not
#                         be installed
# 32-bit programs need both a kernel that runs 32-bit code (a small native probe
# tells, with no i386 package) and the 32-bit Wine loader.
#
# For tests and for trying the other path on a one-architecture machine:
#   QAV_ARCHES="x86 x64" or "x64" stands for the kernel probe's answer;
#   QAV_WINE32_LOADER is the 32-bit loader looked for (/usr/lib/wine/wine);
#   QAV_STATE_DIR holds the record (~/.cache/qav-demo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
loader=${QAV_WINE32_LOADER:-/usr/lib/wine/wine}
state=${QAV_STATE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/qav-demo}
record="$state/wine32-install-failed"

# Sets kernel_why to why the kernel runs no 32-bit code, or to nothing.
probe_kernel() {
    kernel_why=""
    if [ -n "${QAV_ARCHES:-}" ]; then
        case "$QAV_ARCHES" in
            "x86 x64") ;;
            x64) kernel_why="QAV_ARCHES=x64 leaves the 32-bit architecture out" ;;
            *) echo "arch.sh: QAV_ARCHES must be \"x86 x64\" or \"x64\", not \"$QAV_ARCHES\"" >&2
               exit 2 ;;
        esac
        return 0
    fi
    local probe
    probe=$(mktemp)
    cc -O1 -o "$probe" "$root/scripts/arch-probe.c"
    if ! kernel_why=$("$probe"); then
        [ -n "$kernel_why" ] || kernel_why="the 32-bit probe failed"
    else
        kernel_why=""
    fi
    rm -f "$probe"
}

# Why 32-bit programs cannot run: the kernel's reason first, then Wine's.
why_not_x86() {
    if [ -n "$kernel_why" ]; then
        echo "$kernel_why"
    elif [ ! -x "$loader" ]; then
        if [ -s "$record" ]; then
            echo "32-bit Wine could not be installed: $(head -n 1 "$record")"
        else
            echo "32-bit Wine is not installed ($loader is missing)"
        fi
    fi
}

case "${1:-}" in
    --record-file)
        echo "$record" ;;
    --kernel)
        probe_kernel
        if [ -z "$kernel_why" ]; then echo "x86 x64"; else echo "x64"; fi ;;
    --why)
        probe_kernel
        why_not_x86 ;;
    "")
        probe_kernel
        if [ -z "$(why_not_x86)" ]; then echo "x86 x64"; else echo "x64"; fi ;;
    *)
        echo "usage: arch.sh [--why | --kernel | --record-file]" >&2
        exit 2 ;;
esac
