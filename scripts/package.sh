#!/usr/bin/env bash
# Builds the package preset with Debian's build flags and makes the Debian
# package from that build: build/package/pandicube_<version>_<arch>.deb, whose
# path is the last line printed.
#
# The flags are dpkg-buildflags' with every hardening feature (PIE, full RELRO
# with BIND_NOW, -fstack-protector-strong, _FORTIFY_SOURCE=2), and CET
# (-fcf-protection) and -fstack-clash-protection where the compiler has them.
# The preset's Release flags come after them, so the programs keep -O3.
# Warnings are not errors here (the preset), as they are in development.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
for flag in -fcf-protection -fstack-clash-protection; do
    if echo 'int main() {}' | "${CXX:-c++}" -x c++ -Werror "$flag" -o /dev/null - 2>/dev/null; then
        CXXFLAGS="$CXXFLAGS $flag"
    fi
done
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# --fresh: CMake reads CXXFLAGS and LDFLAGS only when it configures anew.
cmake --preset package --fresh >/dev/null
cmake --build --preset package
rm -f build/package/pandicube_*.deb
cpack --config build/package/CPackConfig.cmake -G DEB -B build/package >&2
ls build/package/pandicube_*.deb
