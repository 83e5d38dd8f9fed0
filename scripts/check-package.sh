#!/usr/bin/env bash
# Installs the Debian package on this machine (as root, with apt-get, which
# brings its dependencies) and checks it as a user meets it: the programs
# answer --version, a search runs, man finds the manual pages, bash-completion
# finds the completion, the window refuses to start without a display and
# opens under Xvfb, the package and the metadata name the same home page,
# hardening-check passes for the three programs, and lintian (no errors, no
# missing hardening, no unneeded sections), appstreamcli and
# desktop-file-validate accept the package and its files.
# The package is removed again at the end.
# Usage: scripts/check-package.sh build/release/package/pandicube_<version>_<arch>.deb
set -euo pipefail
deb=$(realpath "$1")
version=$(dpkg-deb --field "$deb" Version)
export DEBIAN_FRONTEND=noninteractive

echo "== install $(basename "$deb")"
apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$deb" >/dev/null
trap 'apt-get remove -y -qq -o DPkg::Lock::Timeout=600 pandicube >/dev/null' EXIT

expect() { # expect WHAT ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1: got '$2', expected '$3'" >&2
        exit 1
    fi
    echo "ok: $1"
}

expect "pandicube-search --version" "$(pandicube-search --version)" "pandicube-search $version"
expect "pandicube --version" "$(pandicube --version)" "pandicube $version"
expect "pandicube-plot --version" "$(pandicube-plot --version)" "pandicube-plot $version"
expect "a search" "$(pandicube-search --bound 255 --count-only | tail -n 2 | head -n 1)" "24 solutions were found."
expect "man -w pandicube-search" "$(man -w pandicube-search)" /usr/share/man/man1/pandicube-search.1.gz
expect "man -w pandicube" "$(man -w pandicube)" /usr/share/man/man1/pandicube.1.gz
expect "man -w pandicube-plot" "$(man -w pandicube-plot)" /usr/share/man/man1/pandicube-plot.1.gz
expect "completion found by bash-completion" \
    "$(bash -c 'source /usr/share/bash-completion/bash_completion; __load_completion pandicube-search; complete -p pandicube-search')" \
    "complete -F _pandicube_search pandicube-search"
expect "pandicube without a display" \
    "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM pandicube 2>&1 >/dev/null; echo "status $?")" \
    "$(printf 'pandicube: no display found (DISPLAY is not set); pandicube-search searches without one\nstatus 1')"
expect "a census drawn without a display" \
    "$(cd "$(mktemp -d)" && pandicube-search --bound 300 --census --quiet >census.txt &&
       env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM pandicube-plot census.txt census.svg &&
       head -c 5 census.svg)" "<?xml"
expect "the package's home page is the metadata's" "$(dpkg-deb --field "$deb" Homepage)" \
    "$(sed -n 's|.*<url type="homepage">\(.*\)</url>.*|\1|p' /usr/share/metainfo/org.pandicube.Pandicube.metainfo.xml)"
expect "the window opens" \
    "$(timeout 60 xvfb-run -a sh -c 'pandicube & pid=$!; xdotool search --sync --onlyvisible --name centralsymmetric >/dev/null && echo open; kill $pid')" \
    open

echo "== hardening-check"
# The programs are compiled with -fcf-protection, but the linker marks a
# program as CET-ready only when every object is, the C library's start files
# (Scrt1.o, crti.o) too; where those lack the mark, as on Debian 12, no program
# can carry it and hardening-check's control flow line is not required.
cet=()
if ! readelf -n "$(c++ -print-file-name=Scrt1.o)" 2>/dev/null | grep -q 'x86 feature: IBT'; then
    cet=(--nocfprotection)
fi
for program in pandicube pandicube-search pandicube-plot; do
    hardening-check "${cet[@]}" "$(command -v "$program")" || { echo "FAILED: hardening-check $program" >&2; exit 1; }
done
echo "== lintian (warnings and notes shown; errors and the tags of a build without Debian's flags fail)"
lintian_said=$(lintian --fail-on error --display-info "$deb") || {
    echo "$lintian_said"
    echo "FAILED: lintian reports errors" >&2
    exit 1
}
echo "$lintian_said"
if grep -E 'hardening-no-|binary-has-unneeded-section' <<<"$lintian_said"; then
    echo "FAILED: lintian finds the programs built without Debian's flags or not stripped" >&2
    exit 1
fi
echo "== appstreamcli validate"
appstreamcli validate --no-net /usr/share/metainfo/org.pandicube.Pandicube.metainfo.xml
echo "== desktop-file-validate"
desktop-file-validate /usr/share/applications/org.pandicube.Pandicube.desktop
echo "package check passed"
