#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the store's libFuzzer programs (clang, ASan and UBSan) in
# build-fuzz/ and runs each for the given seconds (default 600), starting
# from the checked-in seeds; what a run adds to the corpus stays in
# build-fuzz/corpus/, and a crash or hang leaves its input in build-fuzz/.
#
#   bash fuzz/run.sh [SECONDS] [TARGET...]     TARGET: table journal filter
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(table journal filter); fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOVARA_FUZZ=ON > /dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    cp -n fuzz/corpus/"$target"/* "$corpus"/
    echo "== $target: $seconds s"
    (cd build-fuzz && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ./fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -max_len=131072 corpus/"$target")
done
