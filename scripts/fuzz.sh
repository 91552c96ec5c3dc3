#!/usr/bin/env bash
# Fuzzes the interpreter core: clang 14 with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, the parser and then the evaluator, each for
# QAV_FUZZ_SECONDS (60 by default). Findings land in findings/ of the fuzzing
# build's folder (scripts/build-folders.env).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/build-folders.env
. "$root/scripts/build-folders.env"
out="$root/$QAV_BUILD_FUZZ"
seconds=${QAV_FUZZ_SECONDS:-60}
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DQAV_FUZZ=ON >/dev/null
cmake --build "$out" -j2 --target qav_fuzz_Parse qav_fuzz_Run

# Seeds: the benchmark programs and every example of the language documentation.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds" "$out/findings"
cp "$root"/bench/lang/*.qav "$seeds"/
awk -v dir="$seeds" '
    /^```qav$/ { n++; file = dir "/doc" n ".qav"; inside = 1; next }
    /^```$/    { inside = 0; next }
    inside     { print > file }
' "$root/docs/language.md"

status=0
for target in Parse Run; do
    corpus="$out/corpus-$target"
    mkdir -p "$corpus"
    echo "== qav_fuzz_$target for ${seconds}s"
    (cd "$out/findings" && "$out/bin/qav_fuzz_$target" "$corpus" "$seeds" \
        -dict="$root/interpreter/fuzz/qav.dict" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1) || status=1
done
exit $status
