#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test:
# the release build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages

echo "== format check"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

for preset in release asan; do
    echo "== $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "== $preset: tests"
    ctest --preset "$preset" --timeout 600
done

if [ -x scripts/fuzz.sh ]; then
    echo "== fuzz"
    scripts/fuzz.sh
fi
