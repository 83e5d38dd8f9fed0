#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a
# bounded time on a copy of its seed corpus (fuzz/corpus/<target>/), so that
# the corpus in the repository stays as it is. The targets run side by side,
# all at once, each for at least the time on a core of its own.
#   FUZZ_SECONDS  core time per target (default 20)
#   scripts/fuzz.sh build   only configures and builds the targets
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/fuzz"
seconds="${FUZZ_SECONDS:-20}"
targets=(input_rules verify_reader merge_reader)

CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPANDICUBE_BUILD_FUZZ=ON \
    -DPANDICUBE_BUILD_WINDOW=OFF \
    -DPANDICUBE_BUILD_TESTS=OFF \
    -DPANDICUBE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"
[ "${1:-}" = build ] && exit 0

# Each run's corpus copy, output and exit status under one temporary folder.
runs="$(mktemp -d)"
trap 'rm -rf "$runs"' EXIT
fuzz() { # fuzz TARGET
    mkdir "$runs/$1"
    cp "$root/fuzz/corpus/$1/"* "$runs/$1/"
    local status=0
    "$build/fuzz/fuzz_$1" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$runs/$1" >"$runs/$1.log" 2>&1 || status=$?
    echo "$status" >"$runs/$1.status"
}
# All at once, for as long as gives each target `seconds` of a core: with
# fewer cores than targets, none waits for another's turn while a core idles.
cores="$(nproc)"
share=$(((seconds * ${#targets[@]} + cores - 1) / cores))
if [ "$share" -gt "$seconds" ]; then seconds="$share"; fi
for target in "${targets[@]}"; do
    echo "fuzzing $target for ${seconds}s"
    fuzz "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
    echo "== fuzz_$target"
    status="$(cat "$runs/$target.status" 2>/dev/null || echo 1)"
    if [ "$status" -eq 0 ]; then
        tail -n 12 "$runs/$target.log"
    else
        cat "$runs/$target.log" 2>/dev/null || true
        echo "fuzz target $target failed" >&2
        failed="$status"
    fi
done
exit "$failed"
