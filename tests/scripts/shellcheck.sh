#!/usr/bin/env bash
# Runs shellcheck over every shell script of the repository: scripts/, .ci/ and the
# ones among the tests and benchmarks. Any finding fails; a warning that is
# accepted is disabled where it stands, with the reason.
# Usage: tests/scripts/shellcheck.sh REPOSITORY
set -euo pipefail
root=$(cd "${1:?repository}" && pwd)
cd "$root"
mapfile -t files < <(
    find scripts .ci tests bench -type f | LC_ALL=C sort |
        while read -r f; do
            case "$f" in
                *.sh) echo "$f" ;;
                *) head -n 1 "$f" | grep -qE '^#!.*\b(ba)?sh\b' && echo "$f" ;;
            esac
        done
)
if ! command -v shellcheck >/dev/null; then
    echo "shellcheck is not installed (scripts/deps.sh installs it)" >&2
    exit 1
fi
echo "shellcheck: ${#files[@]} scripts"
shellcheck -x -P SCRIPTDIR "${files[@]}"
