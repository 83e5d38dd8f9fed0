#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test:
# the release build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, then the Debian package (built, installed and checked), then a short
# run of each fuzz target. The tests of a build run side by side, one more at
# a time than there are cores (many of them mostly wait on a program they
# started); the fuzz targets build while the package check, which mostly
# waits on apt-get, lintian and Xvfb, runs. The sanitizer and package builds,
# which are built whole here, are unity builds (their presets): they take a
# third less time, and the names in unnamed namespaces of the files of one
# target must differ.
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
    ctest --preset "$preset" --timeout 600 --parallel "$(($(nproc) + 1))"
done

# The Debian package, from its own build with Debian's flags, installed and
# checked on this machine (which needs root, as CI has).
echo "== package"
deb=$(scripts/package.sh | tail -n 1)
fuzz_build=
if [ -x scripts/fuzz.sh ]; then
    fuzz_log=$(mktemp)
    trap 'rm -f "$fuzz_log"' EXIT
    scripts/fuzz.sh build >"$fuzz_log" 2>&1 &
    fuzz_build=$!
fi
if [ "$(id -u)" -eq 0 ]; then
    scripts/check-package.sh "$deb"
elif [ -n "${CI:-}" ]; then
    echo "the package check installs the package and needs root" >&2
    exit 1
else
    echo "== package check skipped: installing $deb needs root"
fi

if [ -n "$fuzz_build" ]; then
    echo "== fuzz"
    wait "$fuzz_build" || {
        cat "$fuzz_log"
        echo "the fuzz targets did not build" >&2
        exit 1
    }
    cat "$fuzz_log"
    scripts/fuzz.sh
fi
