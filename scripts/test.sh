#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test:
# the release build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, then the Debian package (built, installed and checked), then a short
# run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages

echo "== format check"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

for preset in release asan; do
    echo "== $preset: build"
    pandicube_build "$preset"
    echo "== $preset: tests"
    ctest --preset "$preset" --timeout 600
done

# The Debian package, from its own build with Debian's flags, installed and
# checked on this machine (which needs root, as CI has).
echo "== package"
deb=$(scripts/package.sh | tail -n 1)
if [ "$(id -u)" -eq 0 ]; then
    scripts/check-package.sh "$deb"
elif [ -n "${CI:-}" ]; then
    echo "the package check installs the package and needs root" >&2
    exit 1
else
    echo "== package check skipped: installing $deb needs root"
fi

if [ -x scripts/fuzz.sh ]; then
    echo "== fuzz"
    scripts/fuzz.sh
fi
