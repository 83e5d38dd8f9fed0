#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds and runs every test:
# the release build, then the AddressSanitizer + UndefinedBehaviorSanitizer
# build, then the Debian package (built, installed and checked), then a short
# run of each fuzz target. The tests of a build run side by side, one more at
# a time than there are cores (many of them mostly wait on a program they
# started); the sanitizer build runs beside the release tests, and the fuzz
# targets build while the package check, which mostly waits on apt-get,
# lintian and Xvfb, runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages

echo "== format check"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror

run_tests() {
    echo "== $1: tests"
    ctest --preset "$1" --timeout 600 --parallel "$(($(nproc) + 1))"
}

echo "== release: build"
pandicube_build release
# The sanitizer build goes on, at a lower priority, while the release tests
# run: many of those wait on the programs, the cluster and the display they
# started, and the build takes the cores they leave idle.
asan_log=$(mktemp) asan_build="" fuzz_log=""
cleanup() {
    if [ -n "$asan_build" ]; then kill "$asan_build" 2>/dev/null || true; fi
    rm -f "$asan_log" ${fuzz_log:+"$fuzz_log"}
}
trap cleanup EXIT
nice -n 10 bash -c 'source scripts/deps.sh && pandicube_build asan' >"$asan_log" 2>&1 &
asan_build=$!
run_tests release
echo "== asan: build"
wait "$asan_build" || {
    cat "$asan_log"
    echo "the sanitizer build failed" >&2
    exit 1
}
asan_build=""
tail -n 1 "$asan_log"
run_tests asan

# The Debian package, from its own build with Debian's flags, installed and
# checked on this machine (which needs root, as CI has).
echo "== package"
deb=$(scripts/package.sh | tail -n 1)
fuzz_build=
if [ -x scripts/fuzz.sh ]; then
    fuzz_log=$(mktemp)
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
