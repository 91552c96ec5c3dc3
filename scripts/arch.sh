#!/usr/bin/env bash
# Prints the Windows architectures this machine can execute under Wine, "x86 x64"
# or "x64". With --why, prints instead why 32-bit programs cannot run here (or
# nothing when they can). Needs only a native C compiler, no i386 package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
cc -O1 -o "$probe" "$root/scripts/arch-probe.c"
if why=$("$probe"); then
    [ "${1:-}" = --why ] || echo "x86 x64"
else
    if [ "${1:-}" = --why ]; then echo "$why"; else echo "x64"; fi
fi
