#!/usr/bin/env bash
# Installs the Debian packages that building and testing Pandicube needs, when
# they are missing and we are root, and builds a preset. Sourced by run.sh,
# test.sh and package.sh.

PANDICUBE_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev qt6-svg-dev fonts-dejavu-core fonts-dejavu-extra fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libtbb-dev
    libxxhash-dev clang libclang-rt-14-dev clang-format
    slurmctld slurmd slurm-client munge parallel
    xvfb xauth xdotool libx11-dev openbox imagemagick x11-utils
    dpkg-dev devscripts file lintian appstream desktop-file-utils man-db bash-completion
)

pandicube_install_packages() {
    local missing=()
    local pkg
    for pkg in "${PANDICUBE_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Run as root to install them, or: sudo apt-get install ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one preset (release, debug, asan).
pandicube_build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}
