#!/usr/bin/env bash
# Runs the same commands with two builds of pandicube-search and compares, byte
# for byte, their standard output, standard error (the program's path made
# alike), exit status and the files each command leaves behind.
#   scripts/compare-outputs.sh [--across-versions] REF_DIR NEW_DIR
# Each DIR holds pandicube-search itself or is a build dir holding
# cli/pandicube-search. Prints one line per command and exits 1 on any
# difference. With --across-versions (two builds on either side of a version
# step) every version that an output names is made alike ("VERSION") in the
# outputs and in the files left behind, so that only what else changed shows.
set -u

across=0
if [ "${1:-}" = --across-versions ]; then
    across=1
    shift
fi

binary_of() {
    for candidate in "$1/pandicube-search" "$1/cli/pandicube-search"; do
        if [ -x "$candidate" ]; then
            realpath "$candidate"
            return 0
        fi
    done
    echo "compare-outputs: no pandicube-search in $1" >&2
    return 1
}

[ $# -eq 2 ] || {
    echo "usage: $0 [--across-versions] REF_DIR NEW_DIR" >&2
    exit 2
}
ref=$(binary_of "$1") || exit 2
new=$(binary_of "$2") || exit 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Shared inputs, made once by the reference build: an output interrupted by
# SIGINT, and a complete output truncated in the middle of a record.
fixtures="$work/fixtures"
mkdir -p "$fixtures"
(
    cd "$fixtures" || exit 1
    "$ref" --bound 400 --quiet --threads 1 --output whole.txt
    head -c 300001 whole.txt >truncated.txt.part
    "$ref" --bound 400 --quiet --format json --threads 1 --output whole.json
    head -c 200001 whole.json >truncated.json.part
    "$ref" --bound 400 --quiet --census --threads 1 --output census.txt
    # Interrupted runs are timed by the machine, so they are made once here.
    for attempt in 1 2 3 4 5; do
        "$ref" --bound 700 --quiet --threads 1 --output interrupted.txt &
        pid=$!
        sleep "0.$attempt"
        kill -INT "$pid"
        wait "$pid"
        rm -f interrupted.txt
        [ -f interrupted.txt.part ] && break
    done
    rm -f whole.json
) >/dev/null 2>&1
[ -f "$fixtures/interrupted.txt.part" ] || echo "compare-outputs: no interrupted output was made" >&2

# One command line of shell per case; $P is the binary under comparison.
# shellcheck disable=SC2016 # $P is expanded by the shell that runs the case
cases=(
    # Listings in every format.
    '$P --bound 255 --quiet'
    '$P --bound 300 --quiet'
    '$P --bound 300 --quiet --format json'
    '$P --bound 300 --quiet --format csv'
    '$P --bound 280 --quiet --json'
    '$P --bound 280 --quiet --cube'
    '$P --bound 280 --quiet --cube --format json'
    '$P --bound 280 --quiet --cube --format csv'
    '$P --bound 400 --quiet --threads 1'
    '$P --bound 400 --quiet --threads 2'
    '$P --bound 400 --quiet --reduce'
    '$P --bound 400 --quiet --reduce --format json'
    '$P --bound 300 --quiet --start 70,-103,99,-21'
    '$P --bound 400 --quiet --output out.txt; cat out.txt | wc -c'
    # Counts.
    '$P --bound 400 --quiet --count-only --threads 1'
    '$P --bound 400 --quiet --count-only --threads 2 --format json'
    '$P --bound 400 --quiet --count-only --format csv --cube'
    # Classes.
    '$P --bound 400 --quiet --classes --threads 1'
    '$P --bound 400 --quiet --classes --threads 2 --format json'
    '$P --bound 400 --quiet --classes --format csv'
    '$P --bound 400 --quiet --classes --count-only --threads 1'
    '$P --bound 400 --quiet --classes --count-only --threads 2 --format json'
    # Census, whole and sliced then merged.
    '$P --bound 500 --quiet --census --threads 1'
    '$P --bound 500 --quiet --census --threads 2 --format json'
    '$P --bound 500 --quiet --census --format csv'
    'for f in text json csv; do for k in 1 2 3; do $P --bound 500 --quiet --census --format $f --slice $k/3 --output $f$k; done; $P merge ${f}1 ${f}2 ${f}3; done'
    # Slices and merge.
    '$P --bound 400 --quiet --slice 2/5'
    '$P --bound 400 --quiet --slice 3/3 --format json --threads 1'
    'for k in 1 2 3; do $P --bound 400 --quiet --slice $k/3 --output s$k; done; $P merge s3 s1 s2 --output all; $P merge --check s1 s2 s3'
    'for k in 1 2; do $P --bound 300 --quiet --slice $k/3 --format csv --output s$k; done; $P merge --check s1 s2; $P merge s1 s2'
    'for k in 1 2; do $P --bound 400 --quiet --classes --slice $k/2 --output c$k; done; $P merge c1 c2'
    'for k in 1 2; do $P --bound 400 --quiet --classes --count-only --slice $k/2 --output c$k; done; $P merge c1 c2'
    '$P --bound 300 --quiet --slice 1/2 --output a; $P --bound 400 --quiet --slice 2/2 --output b; $P merge a b'
    # verify.
    '$P verify ../fixtures/whole.txt'
    '$P verify --bound 350 ../fixtures/whole.txt'
    '$P verify --classes ../fixtures/whole.txt'
    '$P verify --search --threads 2 ../fixtures/whole.txt'
    '$P verify --partial ../fixtures/truncated.txt.part'
    '$P verify ../fixtures/truncated.txt.part'
    '$P verify ../fixtures/census.txt'
    '$P verify --search ../fixtures/census.txt'
    'sed "5s/ 1/ 2/" ../fixtures/whole.txt > bad.txt; $P verify bad.txt'
    # resume.
    'cp ../fixtures/interrupted.txt.part .; $P resume interrupted.txt --quiet --threads 2'
    'cp ../fixtures/truncated.txt.part .; $P resume truncated.txt --quiet --threads 1'
    'cp ../fixtures/truncated.json.part .; $P resume truncated.json.part --quiet'
    # Refusals.
    '$P --bound 1x'
    '$P --bound 10000000'
    '$P --bound 300 --start 1,2,3'
    '$P --bound 300 --start 1,2,3,x'
    '$P --slice 3/2'
    '$P --slice 0/2'
    '$P --bogus'
    '$P --census --classes'
    '$P --census --cube'
    '$P --reduce --slice 1/2'
    '$P --threads 0'
    '$P merge'
    '$P verify no-such-file'
)

# Runs case $2 with binary $1 in a fresh dir $3; leaves out, err, rc and files there.
run_case() {
    local binary=$1 line=$2 dir=$3
    mkdir -p "$dir/run"
    ln -s "$fixtures" "$dir/fixtures"
    (
        cd "$dir/run" || exit 1
        P=$binary bash -c "$line" >../out 2>../err </dev/null
        echo $? >../rc
    )
    sed -i -e "s#$binary#pandicube-search#g" -e "s#$dir#DIR#g" "$dir/err" "$dir/out"
    if [ "$across" -eq 1 ]; then
        local alike=(-E -e 's#pandicube-search [0-9]+\.[0-9]+\.[0-9]+#pandicube-search VERSION#g'
            -e 's#"version": "[0-9]+\.[0-9]+\.[0-9]+"#"version": "VERSION"#g')
        sed -i "${alike[@]}" "$dir/err" "$dir/out"
        find "$dir/run" -type f -exec sed -i "${alike[@]}" {} +
    fi
    (cd "$dir/run" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum) >"$dir/files"
}

failures=0
number=0
for line in "${cases[@]}"; do
    number=$((number + 1))
    a="$work/$number/ref" b="$work/$number/new"
    run_case "$ref" "$line" "$a"
    run_case "$new" "$line" "$b"
    differing=()
    for part in out err rc files; do
        cmp -s "$a/$part" "$b/$part" || differing+=("$part")
    done
    if [ ${#differing[@]} -eq 0 ]; then
        printf 'same     %2d  %s\n' "$number" "$line"
    else
        failures=$((failures + 1))
        printf 'DIFFERS  %2d  %s  (%s)\n' "$number" "$line" "${differing[*]}"
        for part in "${differing[@]}"; do
            diff "$a/$part" "$b/$part" | head -n 6 | cut -c 1-200 | sed 's/^/        /'
        done
    fi
    rm -rf "${a:?}/run" "${b:?}/run"
done
echo "$number commands, $failures differ"
[ "$failures" -eq 0 ]
