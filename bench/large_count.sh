#!/usr/bin/env bash
# A count past 2^32: the whole run at a large bound with --count-only, timed
# with /usr/bin/time (wall seconds and peak memory), its closing report and
# completion record printed as the run wrote them. The count must exceed
# 4294967295 at the default bound, so a 32-bit counter anywhere on its way
# would show as a wrong number.
#   bench/large_count.sh [BOUND] [THREADS]   (default 2001, 2 threads)
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-2001}"
threads="${2:-2}"
/usr/bin/time -f '%e %M' -o "$work/time" "$tool" --bound "$bound" --threads "$threads" --count-only --quiet >"$work/out"
cat "$work/out"
read -r seconds peak <"$work/time"
count=$(sed -n 's/^\([0-9]*\) solutions were found\.$/\1/p' "$work/out")
echo "U=$bound threads=$threads solutions=$count seconds=$seconds peak_kb=$peak"
if [ "$bound" = 2001 ] && [ "${count:-0}" -le 4294967295 ]; then
    echo "the count of U = 2001 should exceed 2^32" >&2
    exit 1
fi
