#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a
# bounded time on a copy of its seed corpus (fuzz/corpus/<target>/), so that
# the corpus in the repository stays as it is.
#   FUZZ_SECONDS  time per target (default 20)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-20}"

CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPANDICUBE_BUILD_FUZZ=ON \
    -DPANDICUBE_BUILD_WINDOW=OFF \
    -DPANDICUBE_BUILD_TESTS=OFF \
    -DPANDICUBE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_input_rules fuzz_verify_reader fuzz_merge_reader

for target in input_rules verify_reader merge_reader; do
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    cp "$root/fuzz/corpus/$target/"* "$work/"
    echo "fuzzing $target for ${seconds}s"
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" 2>&1 | tail -n 12
    status="${PIPESTATUS[0]}"
    rm -rf "$work"
    trap - EXIT
    if [ "$status" -ne 0 ]; then
        echo "fuzz target $target failed" >&2
        exit "$status"
    fi
done
