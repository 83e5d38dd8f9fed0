#!/bin/sh
# Runs inside xvfb-run: starts openbox, then the program; once its window is
# active and drawn, writes a picture of its client area to OUT and reports
# what the window manager and the program say about the window. Then shows
# two message boxes, the refusal of an empty bound (title "zorvik") and the
# close prompt (the window's title), and gives the window the title "zorvik":
# pictures of the whole screen at each step (OUT-main.png, OUT-refusal.png,
# OUT-prompt.png, OUT-renamed.png) go with the title bar of the window shown
# (KEY=left top width height). Last, asks for full screen and reports the
# window's state and frame after it.
# Usage: x11_screenshot.sh PANDICUBE OUT.png REQUEST
set -u
. "$(dirname "$0")/x11_prompt.sh"
program=$1
out=$2
request=$3
base=${out%.png}

openbox >/dev/null 2>&1 &
wm=$!
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || [ "$tries" -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done

# Waits until the window $1 is active.
await_active() {
    tries=0
    until [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ] || [ "$tries" -ge 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# The title bar of window $1 on the screen: the top of its frame.
title_bar() {
    x=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
    y=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')
    width=$(xwininfo -id "$1" | sed -n 's/.*Width: *//p')
    # _NET_FRAME_EXTENTS: left, right, top, bottom
    set -- $(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,/ /g')
    echo "$((x - $1)) $((y - $3)) $((width + $1 + $2)) $3"
}

# Shows the screen with window $2 active as $base-$1.png (once it is drawn)
# and reports its title bar.
picture() {
    sleep 0.5
    import -window root "$base-$1.png"
    echo "$1=$(title_bar "$2")"
}

"$program" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name centralsymmetric | head -n 1)
await_active "$window"
echo "ACTIVE=$([ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && echo yes || echo no)"
sleep 1
import -window "$window" "$out"
echo "ACTIONS=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)"
echo "ICONS=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')"
picture main "$window"

# An empty bound: click into Text2 (5520, 4635 twips), clear it, click start.
xdotool mousemove --window "$window" 380 318 click 1
sleep 0.3
xdotool key ctrl+a BackSpace
xdotool mousemove --window "$window" 546 320 click 1
box=$(xdotool search --sync --onlyvisible --name '^zorvik$' | head -n 1)
await_active "$box"
picture refusal "$box"
xdotool key Return
await_active "$window"

# The close prompt, answered No.
"$request" "$window"
prompt=$(prompt_of "$window" centralsymmetric)
await_active "$prompt"
picture prompt "$prompt"
xdotool key Escape
await_active "$window"

xprop -id "$window" -f _NET_WM_NAME 8u -set _NET_WM_NAME zorvik
picture renamed "$window"

"$request" "$window" fullscreen
sleep 1
echo "STATE=$(xprop -id "$window" _NET_WM_STATE)"
echo "FRAME=$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //')"
echo "SIZE=$(xwininfo -id "$window" | sed -n 's/.*Width: *//p')x$(xwininfo -id "$window" | sed -n 's/.*Height: *//p')"

kill "$pid"
wait "$pid"
kill "$wm"
wait "$wm"
