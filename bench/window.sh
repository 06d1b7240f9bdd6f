#!/usr/bin/env bash
# Measures the main window (window_bench) beside `tarnwick-cli run` of the
# same task with the same options: a no-change run of the 100,000-file tree
# with every line kind switched on, and start-up with 1,000 tasks. Rounds
# are interleaved, so that a busy machine weighs on every program alike.
#
#   bench/window.sh [SCRATCH]
#
# SCRATCH (default /tmp/tarnwick-window-bench) holds the tree (made by
# make_tree.py and kept between runs), its copy and two throw-away program
# folders: one with the bench task, one with 1,000 tasks in 20 groups.
# BUILD_DIR (default build beside this folder) gives tarnwick-cli and
# window_bench, built here unless NO_BUILD=1. ROUNDS (default 5) rounds are
# made. WINDOW_BENCHES="name=path ..." sets other window_bench binaries
# beside each other (say, one built before a change and one after); the
# default is "window=$BUILD_DIR/bench/window_bench". The raw figures go to
# SCRATCH/results/window.txt, one "round program figure value" a line, and
# min and median of each to the terminal.
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH_DIR")
SCRATCH=${1:-${TARNWICK_BENCH_DIR:-/tmp/tarnwick-window-bench}}
BUILD_DIR=${BUILD_DIR:-$REPO/build}
ROUNDS=${ROUNDS:-5}
WINDOW_BENCHES=${WINDOW_BENCHES:-window=$BUILD_DIR/bench/window_bench}

die() { printf 'window bench: %s\n' "$*" >&2; exit 1; }
for tool in python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || die "$tool is missing"
done

if [ "${NO_BUILD:-0}" != 1 ]; then
    cmake --build "$BUILD_DIR" --target tarnwick-cli window_bench -j2
fi
CLI=$BUILD_DIR/bin/tarnwick-cli

mkdir -p "$SCRATCH"
SCRATCH=$(cd "$SCRATCH" && pwd)
SRC=$SCRATCH/src-small
DST=$SCRATCH/dst-small
EMPTY=$SCRATCH/empty
RESULTS=$SCRATCH/results
RUN_HOME=$SCRATCH/home-run
MANY_HOME=$SCRATCH/home-many
XDG_ALL=$SCRATCH/xdg-all-lines
python3 "$BENCH_DIR/make_tree.py" small "$SRC"
rm -rf "$RUN_HOME" "$MANY_HOME" "$XDG_ALL" "$RESULTS"
mkdir -p "$RUN_HOME" "$MANY_HOME" "$XDG_ALL/Tarnwick" "$RESULTS" "$EMPTY" "$DST"

# Every line kind on, no splash, no sound, no finish box: the all-lines
# options of run.sh, written value by value.
{
    printf 'REGEDIT4\n\n'
    printf '[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\TarnwickOption]\n'
    for value in Minimized=0 HideTray=0 DisplaySplash=0 WhenClose=0 MaxLogFileSize=0 \
        StartFilshMsg=1 CopyMsg=1 SkipMsg=1 ErrorMsg=1 StartFilshClr=8000 CopyClr=0 SkipClr=0 \
        ErrorClr=ff ShowDlg=0 ShowBullons=0 PlaySound=0 ThrdPRI=1; do
        printf '"%s"=dword:%08x\n' "${value%%=*}" "0x${value#*=}"
    done
    printf '"LogFileName"="Tarnwick.log"\n"SoundFile"=""\n'
} > "$XDG_ALL/Tarnwick/user.reg"
chmod 700 "$XDG_ALL/Tarnwick"
chmod 600 "$XDG_ALL/Tarnwick/user.reg"
export XDG_CONFIG_HOME=$XDG_ALL QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

# The tasks go in through the program's own import: the bench task in one
# program folder; 1,000 tasks in 20 groups, each mirroring an empty folder,
# in the other.
TASK=1000000001
TARNWICK_HOME=$RUN_HOME "$CLI" init > /dev/null
TARNWICK_HOME=$MANY_HOME "$CLI" init > /dev/null
python3 - "$SRC" "$DST" "$EMPTY" "$SCRATCH/nowhere" "$TASK" "$RESULTS" << 'PY'
import json, os, sys
src, dst, empty, nowhere, task, results = sys.argv[1:]
def task_of(task_id, group, name, source, target):
    return {"group": group, "id": task_id, "name": name, "rules": [], "schedules": [],
            "sources": [{"path": source, "subfolders": True}], "start": "manual",
            "target": target}
def write(name, groups, tasks):
    with open(os.path.join(results, name), "w") as out:
        json.dump({"format": "tarnwick-tasks", "version": 1, "groups": groups, "tasks": tasks}, out)
write("run-tasks.json", [], [task_of(task, "AllTask", "bench-small", src, dst)])
groups = [{"id": "G%02d" % g, "name": "Group %d" % g} for g in range(1, 21)]
tasks = [task_of("3%09d" % t, "G%02d" % ((t - 1) % 20 + 1), "task %d" % t, empty,
                 "%s/%d" % (nowhere, t)) for t in range(1, 1001)]
write("many-tasks.json", groups, tasks)
PY
TARNWICK_HOME=$RUN_HOME "$CLI" import "$RESULTS/run-tasks.json" > /dev/null
TARNWICK_HOME=$MANY_HOME "$CLI" import "$RESULTS/many-tasks.json" > /dev/null

# The copy the no-change runs find in step.
TARNWICK_HOME=$RUN_HOME "$CLI" run "$TASK" > "$RESULTS/initial.out"
TARNWICK_HOME=$RUN_HOME "$CLI" run "$TASK" > "$RESULTS/nochange.out"
grep -q "Skipped  : 0 newer files, 100000 unchanged files." "$RESULTS/nochange.out" ||
    die "the second run did not find all 100,000 files unchanged"
LOG_FILE=$RUN_HOME/Log/Tarnwick.log

RAW=$RESULTS/window.txt
note() { # ROUND PROGRAM FIGURE VALUE
    printf '%s %s %s %s\n' "$@" >> "$RAW"
}
printf 'load_start %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" > "$RESULTS/load.txt"
for round in $(seq 1 "$ROUNDS"); do
    : > "$LOG_FILE"
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$RESULTS/cli-time.txt" \
        env TARNWICK_HOME="$RUN_HOME" "$CLI" run "$TASK" > /dev/null
    note "$round" cli run_ms $((($(date +%s%N) - start) / 1000000))
    note "$round" cli peak_rss_kib "$(tail -n 1 "$RESULTS/cli-time.txt")"
    for entry in $WINDOW_BENCHES; do
        name=${entry%%=*}
        program=${entry#*=}
        : > "$LOG_FILE"
        TARNWICK_HOME=$RUN_HOME "$program" run "$TASK" |
            while read -r figure value; do note "$round" "$name" "$figure" "$value"; done
        [ "$(wc -l < "$LOG_FILE")" -ge 100000 ] || die "$name: the log file lacks lines"
        TARNWICK_HOME=$MANY_HOME "$program" startup |
            while read -r figure value; do note "$round" "$name" "$figure" "$value"; done
    done
done
printf 'load_end %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"

python3 - "$RAW" << 'EOF'
import statistics, sys
figures = {}
for line in open(sys.argv[1]):
    _, program, figure, value = line.split()
    figures.setdefault((program, figure), []).append(int(value))
for (program, figure), values in figures.items():
    print(f"{program:10} {figure:22} min {min(values):8}  median {statistics.median(values):10}  "
          f"max {max(values):8}  ({len(values)} rounds)")
EOF
cat "$RESULTS/load.txt"
echo "Raw figures: $RAW"
