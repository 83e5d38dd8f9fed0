# Sourced by the bench scripts: stop at the first error; the repository, the
# release build and its programs (PANDICUBE_BUILD, PANDICUBE_SEARCH and
# PANDICUBE_TIME name others); a scratch folder, `work`, removed at the end;
# `median`, the median of the numbers on standard input; and `program_in DIR
# NAME`, the program NAME of a previous build (DIR holds it, or is a build
# folder with it in cli/ or bench/), for the columns against that build.
# shellcheck shell=bash disable=SC2034 # the names are for the scripts
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PANDICUBE_BUILD:-$root/build/release}"
tool="${PANDICUBE_SEARCH:-$build/cli/pandicube-search}"
time_run="${PANDICUBE_TIME:-$build/bench/pandicube-time}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

program_in() {
    local candidate
    for candidate in "$1/$2" "$1/cli/$2" "$1/bench/$2"; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "no $2 in $1" >&2
    return 1
}
