#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window. Without a display it
# says so and runs the same search headless, with the window's default values.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
pandicube_install_packages
pandicube_build release

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/release/app/pandicube "$@"
fi
echo "No display found: running the same search headless (upper bound 300)."
exec build/release/cli/pandicube-search --bound 300 "$@"
