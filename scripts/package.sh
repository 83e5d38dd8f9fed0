#!/usr/bin/env bash
# Builds the release preset and makes the Debian package from that build:
# build/release/package/pandicube_<version>_<arch>.deb, whose path is the last
# line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages
pandicube_build release
rm -f build/release/package/pandicube_*.deb
cpack --config build/release/CPackConfig.cmake -G DEB -B build/release/package >&2
ls build/release/package/pandicube_*.deb
