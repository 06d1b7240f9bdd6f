#!/usr/bin/env bash
# Two builds of tarnwick-cli side by side in one sitting, taking turns:
# a no-change run over the 100,000-file tree and an initial copy of a
# 10,000-file tree onto the local disk. For a change that should cost a run
# nothing (a reshuffle of the code): the figures say whether it does.
#
#   bench/before_after.sh OLD_CLI NEW_CLI [SCRATCH]    # ROUNDS=5
#
# The trees come from make_tree.py (fixed seed) and stay in SCRATCH
# (default /tmp/tarnwick-before-after) between sittings. Each binary has a
# program folder of its own; the no-change target is filled once by each
# before the timed rounds. Prints the median of each case and the load.
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
scratch=${3:-/tmp/tarnwick-before-after}
rounds=${ROUNDS:-5}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$scratch"
[ -d "$scratch/src100k" ] || python3 "$here/make_tree.py" small "$scratch/src100k"
[ -d "$scratch/src10k" ] || python3 "$here/make_tree.py" small "$scratch/src10k" --files 10000

setup() { # setup NAME CLI: a program folder with the two tasks
    local name=$1 cli=$2 home="$scratch/home-$1"
    rm -rf "$home" "$scratch/dst100k-$name" "$scratch/dst10k-$name"
    mkdir -p "$home" "$scratch/dst100k-$name" "$scratch/dst10k-$name" "$scratch/config-$name"
    TARNWICK_HOME=$home XDG_CONFIG_HOME="$scratch/config-$name" "$cli" init > /dev/null
    TARNWICK_HOME=$home XDG_CONFIG_HOME="$scratch/config-$name" "$cli" task add big \
        --source "$scratch/src100k" --target "$scratch/dst100k-$name" > /dev/null
    TARNWICK_HOME=$home XDG_CONFIG_HOME="$scratch/config-$name" "$cli" task add small \
        --source "$scratch/src10k" --target "$scratch/dst10k-$name" > /dev/null
    TARNWICK_HOME=$home XDG_CONFIG_HOME="$scratch/config-$name" "$cli" run -q big > /dev/null || true
}
timed() { # timed NAME CLI TASK: seconds of one run
    local name=$1 cli=$2 task=$3 start end
    start=$(date +%s.%N)
    TARNWICK_HOME="$scratch/home-$name" XDG_CONFIG_HOME="$scratch/config-$name" \
        "$cli" run -q "$task" > /dev/null || true
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }' 
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

setup old "$old"
setup new "$new"
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times
for round in $(seq "$rounds"); do
    order="old new"
    [ $((round % 2)) -eq 0 ] && order="new old"
    for name in $order; do
        cli=$old
        [ "$name" = new ] && cli=$new
        times[$name-nochange]+="$(timed "$name" "$cli" big) "
        rm -rf "$scratch/dst10k-$name" && mkdir -p "$scratch/dst10k-$name"
        sync
        times[$name-initial]+="$(timed "$name" "$cli" small) "
    done
done
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| case | before | after |\n|---|---|---|\n'
for case in nochange initial; do
    before=$(tr ' ' '\n' <<< "${times[old-$case]}" | grep . | median)
    after=$(tr ' ' '\n' <<< "${times[new-$case]}" | grep . | median)
    label="no-change run, 100,000 files"
    [ "$case" = initial ] && label="initial copy, 10,000 files"
    printf '| %s | %.3f s | %.3f s |\n' "$label" "$before" "$after"
done
