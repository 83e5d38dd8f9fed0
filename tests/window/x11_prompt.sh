# Sourced by the real-X test scripts.
# prompt_of WINDOW PATTERN: the id of a visible window other than WINDOW whose
# title matches PATTERN (a prompt carries its window's caption as its title),
# waited for up to 10 s; empty when none comes.
prompt_of() {
    found=""
    tries=0
    while [ -z "$found" ] && [ "$tries" -lt 100 ]; do
        for candidate in $(xdotool search --onlyvisible --name "$2"); do
            [ "$candidate" != "$1" ] && found=$candidate
        done
        [ -z "$found" ] && sleep 0.1
        tries=$((tries + 1))
    done
    echo "$found"
}
