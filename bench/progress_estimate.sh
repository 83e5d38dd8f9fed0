#!/usr/bin/env bash
# How true the progress line's estimate of the time left is: runs the release
# pandicube-search with standard error on a terminal (through script, which
# logs when each piece of the line came), and prints, at each share of the
# run's real time, the last line drawn by then and the total time it implies
# against the real total: the time so far plus the estimate left, and, finer
# than the line's whole seconds, the time so far over the share done (the
# same estimate for a run from the start). The count goes to the terminal
# too, so that any version of the program draws the line.
#   bench/progress_estimate.sh [BOUND] [THREADS] [SHARES...]
#   (default 1000, 2 threads, shares 0.1 0.25 0.5 0.75 0.9), e.g.
#   for u in 700 1000; do bench/progress_estimate.sh $u 2; done
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-1000}"
threads="${2:-2}"
shift $(($# < 2 ? $# : 2))
shares="${*:-0.1 0.25 0.5 0.75 0.9}"
script -q --log-out "$work/log" --log-timing "$work/timing" \
    -c "$(printf '%q ' "$tool" --bound "$bound" --threads "$threads" --count-only)" >/dev/null
python3 - "$work/log" "$work/timing" "$bound" "$threads" "$shares" <<'PY'
import re, sys
log = open(sys.argv[1], 'rb').read()
log = log[log.index(b'\n') + 1:]  # after script's own first line
at, offset, lines = 0.0, 0, []  # (seconds since the start, text of the line)
for row in open(sys.argv[2]):
    delay, size = row.split()
    at += float(delay)
    chunk = log[offset:offset + int(size)].decode(errors='replace')
    offset += int(size)
    for piece in chunk.split('\r'):
        if '% done' in piece:
            lines.append((at, piece.replace('\x1b[K', '').strip()))
total = at
print(f'U = {sys.argv[3]}, {sys.argv[4]} threads: {total:.1f} s')
for share in map(float, sys.argv[5].split()):
    drawn = [(t, text) for t, text in lines if t <= share * total]
    if not drawn:
        print(f'{share:4.0%}: no line yet')
        continue
    t, text = drawn[-1]
    left = re.search(r'~(\d+):(\d+):(\d+) left', text)
    done = float(re.search(r'([\d.]+)% done', text).group(1)) / 100
    if left is None or done == 0:
        print(f'{share:4.0%}: no estimate yet ({text})')
        continue
    h, m, s = map(int, left.groups())
    implied = t + 3600 * h + 60 * m + s
    print(f'{share:4.0%}: at {t:6.1f} s "{text}": total {implied:6.1f} s, error {implied / total - 1:+.0%};'
          f' by the share {t / done:6.1f} s, error {t / done / total - 1:+.0%}')
PY
