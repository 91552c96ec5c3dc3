#!/usr/bin/env bash
# The size of each release archive, made from the current builds into a scratch folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/scripts/dist.sh" --out "$work" >/dev/null
for zip in "$work"/*.zip; do
    bytes=$(stat -c %s "$zip")
    unpacked=$(unzip -l "$zip" | tail -n 1 | awk '{print $1}')
    printf '%s: %d bytes (%d KiB), %d bytes unpacked\n' "$(basename "$zip")" "$bytes" "$((bytes / 1024))" "$unpacked"
done
