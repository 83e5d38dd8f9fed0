#!/usr/bin/env bash
# How true the progress line's estimate is: runs the release pandicube-search
# with standard error on a pseudo-terminal, notes when each line came and how
# much processor time the run had used by then (from /proc), and prints, at
# each share of the run, the last line drawn by then and the total it implies
# (the time so far over the share done, which is the line's estimate for a
# run from the start, finer than its whole seconds) against the real total:
# in wall-clock time, and in processor time, which other programs on the
# machine do not disturb. Both count from the first line, as the line's own
# clock does (the process's start-up before it is no part of the estimate). The count goes to the terminal too, so that any
# version of the program draws the line.
#   bench/progress_estimate.sh [BOUND] [THREADS] [SHARES...]
#   (default 1000, 2 threads, shares 0.1 0.25 0.5 0.75 0.9), e.g.
#   for u in 700 1000; do bench/progress_estimate.sh $u 2 0.1 0.5; done
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
bound="${1:-1000}"
threads="${2:-2}"
shift $(($# < 2 ? $# : 2))
shares="${*:-0.1 0.25 0.5 0.75 0.9}"
python3 - "$tool" "$bound" "$threads" "$shares" <<'PY'
import os, pty, re, select, sys, time
tool, bound, threads, shares = sys.argv[1:]
pid, fd = pty.fork()
if pid == 0:
    os.environ['TERM'] = 'xterm'
    os.execv(tool, [tool, '--bound', bound, '--threads', threads, '--count-only'])
tick = os.sysconf('SC_CLK_TCK')
start = time.monotonic()
lines, cpu, pending = [], [(0.0, 0.0)], ''  # lines: (wall, processor, text)
while True:
    ready, _, _ = select.select([fd], [], [], 0.02)
    now = time.monotonic() - start
    try:
        fields = open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()
        cpu.append((now, (int(fields[11]) + int(fields[12])) / tick))
    except (OSError, IndexError):
        pass
    if not ready:
        continue
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    pieces = (pending + data.decode(errors='replace')).split('\r')
    pending = pieces.pop()
    lines += [(now, cpu[-1][1], p.replace('\x1b[K', '').strip()) for p in pieces if '% done' in p]
_, _, usage = os.wait4(pid, 0)
t0, c0 = lines[0][0], lines[0][1]
wall = time.monotonic() - start - t0
processor = usage.ru_utime + usage.ru_stime - c0
lines = [(t - t0, c - c0, text) for t, c, text in lines]
print(f'U = {bound}, {threads} threads: {wall:.1f} s, {processor:.1f} s of processor time')
for share in map(float, shares.split()):
    drawn = [(t, c, text) for t, c, text in lines if c <= share * processor]
    done = float(re.search(r'([\d.]+)% done', drawn[-1][2]).group(1)) / 100 if drawn else 0
    if done == 0:
        print(f'{share:4.0%}: no estimate yet')
        continue
    t, c, text = drawn[-1]
    print(f'{share:4.0%} of the processor time: "{text}"; total {t / done:6.1f} s, error {t / done / wall - 1:+.0%};'
          f' processor {c / done:6.1f} s, error {c / done / processor - 1:+.0%}')
PY
