#!/bin/sh
# Runs inside xvfb-run: starts openbox, then the program; once its window is
# active and drawn, writes a picture of its client area to OUT and reports
# what the window manager and the program say about the window.
# Usage: x11_screenshot.sh PANDICUBE OUT.png
set -u
program=$1
out=$2

openbox >/dev/null 2>&1 &
wm=$!
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || [ "$tries" -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done

"$program" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name centralsymmetric | head -n 1)
tries=0
until [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] || [ "$tries" -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
echo "ACTIVE=$([ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && echo yes || echo no)"
sleep 1
import -window "$window" "$out"
echo "ACTIONS=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)"
echo "ICONS=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')"

kill "$pid"
wait "$pid"
kill "$wm"
wait "$wm"
