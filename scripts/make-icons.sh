#!/usr/bin/env bash
# Renders the icon's PNG sizes from data/icons/pandicube.svg with rsvg-convert
# (Debian package librsvg2-bin). The PNGs are kept in the repository, so that
# a build needs no SVG renderer; run this after changing the SVG and commit
# the result.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" pandicube.svg --output "${size}x${size}/pandicube.png"
done
