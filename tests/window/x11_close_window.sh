#!/bin/sh
# Runs inside xvfb-run: starts the program, finds its window by its title,
# reports its size and class, asks it to close as a close box would, answers
# the prompt with Yes (Return on its default button) and reports the exit
# status.
# Usage: x11_close_window.sh PANDICUBE CLOSE_REQUEST
set -u
. "$(dirname "$0")/x11_prompt.sh"
program=$1
closeRequest=$2
pattern='centralsymmetric'

"$program" &
pid=$!

window=$(xdotool search --sync --onlyvisible --name "$pattern" | head -n 1)
echo "WINDOW=$window"
echo "TITLE=$(xdotool getwindowname "$window")"
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "SIZE=${WIDTH}x${HEIGHT}"
echo "CLASS=$(xprop -id "$window" WM_CLASS)"

"$closeRequest" "$window"

# The prompt carries the window's caption as its title.
prompt=$(prompt_of "$window" "$pattern")
echo "PROMPT=$prompt"
if [ -z "$prompt" ]; then
    kill "$pid"
    wait "$pid"
    echo "STATUS=none"
    exit 1
fi
echo "PROMPT_TITLE=$(xdotool getwindowname "$prompt")"
xdotool windowfocus --sync "$prompt"
sleep 0.3
xdotool key Return

wait "$pid"
echo "STATUS=$?"
