#!/usr/bin/env bash
# Measures tarnwick-cli run against rsync, cp and two floor programs
# (walk_limit, plain_copy) on reproducible trees. Warm page cache throughout:
# nothing is dropped, the cached case is the reference.
#
#   bench/run.sh [SCRATCH]
#
# SCRATCH (default /tmp/tarnwick-bench, or $TARNWICK_BENCH_DIR) holds the
# trees (kept between runs), the targets, a throw-away program folder and
# the results. BUILD_DIR (default build-bench beside this folder) is
# configured as RelWithDebInfo when it has no build yet. RUNS (no-change and
# output cases, default 10), RUNS_COPY (initial copy of the small tree, 3),
# RUNS_BIG (the big files, 5) and WARMUP (1) set the
# number of runs; the defaults keep the whole bench near fifteen minutes on
# two cores. SCALE_FILES (default "10000 50000 200000") are the sizes of the
# trees whose peak memory is set beside that of the 100,000-file tree.
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH_DIR")
SCRATCH=${1:-${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}}
BUILD_DIR=${BUILD_DIR:-$REPO/build-bench}
RUNS=${RUNS:-10}
RUNS_COPY=${RUNS_COPY:-3}
RUNS_BIG=${RUNS_BIG:-5}
WARMUP=${WARMUP:-1}
SCALE_FILES=${SCALE_FILES:-10000 50000 200000}

say() { printf '\n== %s\n' "$*"; }
die() { printf 'bench: %s\n' "$*" >&2; exit 1; }

for tool in hyperfine rsync cp sqlcipher python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || die "$tool is missing"
done

mkdir -p "$SCRATCH"
SCRATCH=$(cd "$SCRATCH" && pwd)

# The trees take about 4.4 GiB, their copies as much again and two more
# copies of the small tree. The sparse file takes 16 MiB of its 10 GiB.
avail_kib=$(df -Pk "$SCRATCH" | awk 'NR == 2 { print $4 }')
needed_kib=$((12 * 1024 * 1024))
if [ ! -e "$SCRATCH/src-big.stamp" ] && [ "$avail_kib" -lt "$needed_kib" ]; then
    die "$SCRATCH has $((avail_kib / 1024)) MiB free; about 12 GiB are needed"
fi

say "Building tarnwick-cli and the bench tools in $BUILD_DIR"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$REPO" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")
case "$build_type" in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) echo "bench: warning: $BUILD_DIR is a '${build_type:-no type}' build, not optimised" >&2 ;;
esac
cmake --build "$BUILD_DIR" --target tarnwick-cli walk_limit plain_copy -j2
CLI=$BUILD_DIR/bin/tarnwick-cli
WALK_LIMIT=$BUILD_DIR/bench/walk_limit
PLAIN_COPY=$BUILD_DIR/bench/plain_copy

say "Source trees in $SCRATCH"
SRC_SMALL=$SCRATCH/src-small
SRC_BIG=$SCRATCH/src-big
DST_SMALL=$SCRATCH/dst-small
DST_BIG=$SCRATCH/dst-big
SRC_SPARSE=$SCRATCH/src-sparse
DST_SPARSE=$SCRATCH/dst-sparse
# A run with nothing to walk: what every run costs before its first file.
SRC_EMPTY=$SCRATCH/src-empty
DST_EMPTY=$SCRATCH/dst-empty
mkdir -p "$SRC_EMPTY" "$DST_EMPTY"
python3 "$BENCH_DIR/make_tree.py" small "$SRC_SMALL"
python3 "$BENCH_DIR/make_tree.py" big "$SRC_BIG"
python3 "$BENCH_DIR/make_tree.py" sparse "$SRC_SPARSE"
for files in $SCALE_FILES; do
    python3 "$BENCH_DIR/make_tree.py" small "$SCRATCH/src-scale-$files" --files "$files"
done

say "A throw-away program folder with the two bench tasks"
HOME_DIR=$SCRATCH/home
RESULTS=$SCRATCH/results
XDG_EMPTY=$SCRATCH/xdg-empty
XDG_ALL=$SCRATCH/xdg-all-lines
rm -rf "$HOME_DIR" "$RESULTS" "$XDG_EMPTY" "$XDG_ALL"
mkdir -p "$HOME_DIR" "$RESULTS" "$XDG_EMPTY" "$XDG_ALL/Tarnwick"
export TARNWICK_HOME=$HOME_DIR
# An empty config folder: no options key, so the runner takes its defaults.
export XDG_CONFIG_HOME=$XDG_EMPTY
"$CLI" init

# The options key with every line kind switched on and everything else at
# its default, for the cost of writing every line to the log file too.
cat > "$XDG_ALL/Tarnwick/user.reg" << 'EOF'
REGEDIT4

[HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\TarnwickOption]
"Minimized"=dword:00000000
"HideTray"=dword:00000000
"DisplaySplash"=dword:00000000
"WhenClose"=dword:00000000
"LogFileName"="Tarnwick.log"
"MaxLogFileSize"=dword:00000000
"StartFilshMsg"=dword:00000001
"CopyMsg"=dword:00000001
"SkipMsg"=dword:00000001
"ErrorMsg"=dword:00000001
"StartFilshClr"=dword:00008000
"CopyClr"=dword:00000000
"SkipClr"=dword:00000000
"ErrorClr"=dword:000000ff
"ShowDlg"=dword:00000000
"ShowBullons"=dword:00000000
"PlaySound"=dword:00000000
"SoundFile"=""
"ThrdPRI"=dword:00000001
EOF
chmod 700 "$XDG_ALL/Tarnwick"
chmod 600 "$XDG_ALL/Tarnwick/user.reg"

# The catalogue's statements, filled the way the program fills them: text in
# single quotes with quotes doubled.
sql_text() { printf '%s' "$1" | sed "s/'/''/g"; }
insert_task() { # ID NAME SOURCE TARGET
    local id name source target
    id=$(sql_text "$1")
    name=$(sql_text "$2")
    source=$(sql_text "$3")
    target=$(sql_text "$4")
    printf "insert into Task([TaskID],[TaskGroupID],[TaskName],[SourceDir],[TargetDir],[ScheduleType]) values('%s','%s','%s','%s','%s', %d);\n" \
        "$id" "AllTask" "$name" "$source" "$target" 0
    printf "insert into SourceDir([TaskID],[SourceDir],[IncludeSubDir]) values('%s','%s','%d');\n" \
        "$id" "$source" 1
    printf "insert into TaskSchedule([TaskID], [ScheduleType], [LastRunTime]) values('%s', 19, '%s');\n" \
        "$id" "1899-12-30"
}
SMALL_TASK=1000000001
BIG_TASK=1000000002
SPARSE_TASK=1000000003
EMPTY_TASK=1000000004
scale_task() { printf '2%09d' "$1"; } # FILES
{
    echo "PRAGMA key = '27190436';"
    insert_task "$SMALL_TASK" "bench-small" "$SRC_SMALL" "$DST_SMALL"
    insert_task "$BIG_TASK" "bench-big" "$SRC_BIG" "$DST_BIG"
    insert_task "$SPARSE_TASK" "bench-sparse" "$SRC_SPARSE" "$DST_SPARSE"
    insert_task "$EMPTY_TASK" "bench-empty" "$SRC_EMPTY" "$DST_EMPTY"
    for files in $SCALE_FILES; do
        insert_task "$(scale_task "$files")" "bench-scale-$files" "$SCRATCH/src-scale-$files" \
            "$SCRATCH/dst-scale-$files"
    done
} | sqlcipher "$HOME_DIR/Tarnwick.dat" > /dev/null
"$CLI" list
LOG_FILE=$HOME_DIR/Log/Tarnwick.log

q() { printf '%q' "$1"; }
RUN_SMALL="$(q "$CLI") run $SMALL_TASK"
RUN_BIG="$(q "$CLI") run $BIG_TASK"
# An emptied target for the small tree is a new folder behind the target's
# name (a symbolic link); the old copy goes to the trash and is deleted only
# at the end. Deleting 100,000 files right before a copy would make ext4's
# inode allocator step over every recently deleted inode (recently_deleted,
# find_inode_bit), which slows every tool's copy several times over.
# What an earlier bench left behind is moved aside the same way.
TRASH=$SCRATCH/trash
OLD_TRASH=$SCRATCH/trash-old
mkdir -p "$OLD_TRASH"
for old in "$TRASH" "$DST_SMALL" "$SCRATCH/dst-small-rsync" "$SCRATCH/dst-small-cp" \
    "$SCRATCH"/dst-scale-*; do
    if [ -L "$old" ]; then
        rm -f "$old"
    elif [ -e "$old" ]; then
        mv "$old" "$(mktemp -d "$OLD_TRASH/old.XXXXXX")/"
    fi
done
mkdir -p "$TRASH"
fresh_target() { # LINK
    local folder
    folder=$(mktemp -d "$TRASH/$(basename "$1").XXXXXX")
    ln -sfn "$folder" "$1"
}
fresh_target "$DST_SMALL"
EMPTY_SMALL="ln -sfn \$(mktemp -d $(q "$TRASH")/dst-small.XXXXXX) $(q "$DST_SMALL") && sync"
EMPTY_BIG="rm -rf $(q "$DST_BIG") && mkdir $(q "$DST_BIG") && sync"
HF=(hyperfine --style basic --warmup "$WARMUP")
# The machine may be shared: the load average at the start of each case goes
# beside its figures.
note_load() { # CASE
    printf '%s %s\n' "$1" "$(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"
}
note_load start

say "Initial copy of 100,000 small files (each tool into an emptied target)"
note_load initial
"${HF[@]}" --runs "$RUNS_COPY" --prepare "$EMPTY_SMALL" --export-json "$RESULTS/initial.json" \
    -n tarnwick "$RUN_SMALL > /dev/null" \
    -n rsync "rsync -rt --update $(q "$SRC_SMALL")/ $(q "$DST_SMALL")/" \
    -n cp "cp -ru --preserve=timestamps $(q "$SRC_SMALL")/. $(q "$DST_SMALL")/" \
    -n plain_copy "$(q "$PLAIN_COPY") $(q "$SRC_SMALL") $(q "$DST_SMALL")"

say "Peak memory of tarnwick-cli run (initial copy, then no change)"
note_load memory
fresh_target "$DST_SMALL" && sync
/usr/bin/time -v -o "$RESULTS/memory-initial.txt" "$CLI" run "$SMALL_TASK" > "$RESULTS/run-initial.out"
/usr/bin/time -v -o "$RESULTS/memory-nochange.txt" "$CLI" run "$SMALL_TASK" > "$RESULTS/run-nochange.out"
tail -n 6 "$RESULTS/run-nochange.out"

# The no-change runs only mean something when each target really is in step.
# Every tool re-runs on a target it made itself: tarnwick keeps times to the
# 100 ns, and cp -u and rsync look at the nanoseconds, so on tarnwick's
# target they would find nearly every file older and copy it again.
grep -q "Mirrored : 0 folders, 0 files, 0 bytes." "$RESULTS/run-nochange.out" &&
    grep -q "Skipped  : 0 newer files, 100000 unchanged files." "$RESULTS/run-nochange.out" ||
    die "tarnwick's second run did not find all 100,000 files unchanged"
check=$("$WALK_LIMIT" "$SRC_SMALL" "$DST_SMALL")
echo "walk_limit on tarnwick's target: $check"
case "$check" in
    *"100000 files"*"; 0 missing,"*) ;;
    *) die "tarnwick's target is not a complete copy" ;;
esac
DST_RSYNC=$SCRATCH/dst-small-rsync
DST_CP=$SCRATCH/dst-small-cp
fresh_target "$DST_RSYNC"
fresh_target "$DST_CP"
rsync -rt --update "$SRC_SMALL/" "$DST_RSYNC/"
cp -ru --preserve=timestamps "$SRC_SMALL/." "$DST_CP/"
for target in "$DST_RSYNC" "$DST_CP"; do
    check=$("$WALK_LIMIT" "$SRC_SMALL" "$target")
    echo "walk_limit on $target: $check"
    case "$check" in
        *"100000 files"*"; 0 missing, 0 with another time"*) ;;
        *) die "$target is not a complete copy" ;;
    esac
done

say "No-change re-run on 100,000 small files (each tool on a target it made)"
note_load nochange
"${HF[@]}" --runs "$RUNS" --export-json "$RESULTS/nochange.json" \
    -n tarnwick "$RUN_SMALL > /dev/null" \
    -n rsync "rsync -rt --update $(q "$SRC_SMALL")/ $(q "$DST_RSYNC")/" \
    -n cp "cp -ru --preserve=timestamps $(q "$SRC_SMALL")/. $(q "$DST_CP")/" \
    -n walk_limit "$(q "$WALK_LIMIT") $(q "$SRC_SMALL") $(q "$DST_SMALL")"

say "Output cost on the no-change re-run (100,000 lines on stdout)"
note_load output
"${HF[@]}" --runs "$RUNS" --prepare ": > $(q "$LOG_FILE")" --export-json "$RESULTS/output.json" \
    -n devnull "$RUN_SMALL > /dev/null" \
    -n pipe "$RUN_SMALL | cat > /dev/null" \
    -n all-lines "XDG_CONFIG_HOME=$(q "$XDG_ALL") $RUN_SMALL > /dev/null"

echo "Log file after the last all-lines run: $(wc -l < "$LOG_FILE") lines"

say "Copy of 40 files of 64 MiB (each tool into an emptied target)"
note_load big
"${HF[@]}" --runs "$RUNS_BIG" --prepare "$EMPTY_BIG" --export-json "$RESULTS/big.json" \
    -n tarnwick "$RUN_BIG > /dev/null" \
    -n rsync "rsync -rt --update $(q "$SRC_BIG")/ $(q "$DST_BIG")/" \
    -n cp "cp -ru --preserve=timestamps $(q "$SRC_BIG")/. $(q "$DST_BIG")/" \
    -n plain_copy "$(q "$PLAIN_COPY") $(q "$SRC_BIG") $(q "$DST_BIG")"

say "Copy of a sparse file: 10 GiB long, 16 MiB of data (each tool into an emptied target)"
note_load sparse
# cp's default (--sparse=auto) keeps the holes; a copy that writes them as
# zeros shows in the target's space used, checked after the timed runs. The
# copy takes cp some 20 ms, less than a tarnwick run costs before its first
# file (the keyed database, the schedule update), so an empty run is timed
# beside it. The runs are short: RUNS of them.
EMPTY_SPARSE="rm -rf $(q "$DST_SPARSE") && mkdir $(q "$DST_SPARSE") && sync"
"${HF[@]}" --runs "$RUNS" --prepare "$EMPTY_SPARSE" --export-json "$RESULTS/sparse.json" \
    -n tarnwick "$(q "$CLI") run $SPARSE_TASK > /dev/null" \
    -n cp "cp -ru --preserve=timestamps $(q "$SRC_SPARSE")/. $(q "$DST_SPARSE")/" \
    -n empty-run "$(q "$CLI") run $EMPTY_TASK > /dev/null"
space() { # NAME FOLDER: apparent and used KiB of the file
    printf '%s %s %s\n' "$1" "$(du -k --apparent-size "$2/sparse.img" | cut -f1)" \
        "$(du -k "$2/sparse.img" | cut -f1)"
}
{
    space source "$SRC_SPARSE"
    bash -c "$EMPTY_SPARSE" && "$CLI" run "$SPARSE_TASK" > /dev/null && space tarnwick "$DST_SPARSE"
    bash -c "$EMPTY_SPARSE" && cp -ru --preserve=timestamps "$SRC_SPARSE/." "$DST_SPARSE/" &&
        space cp "$DST_SPARSE"
} > "$RESULTS/sparse-space.txt"
cat "$RESULTS/sparse-space.txt"
rm -rf "$DST_SPARSE"

say "Peak memory from 10,000 to 200,000 files (initial copy, then no change)"
note_load scale
for files in $SCALE_FILES; do
    target=$SCRATCH/dst-scale-$files
    fresh_target "$target" && sync
    /usr/bin/time -v -o "$RESULTS/memory-scale-$files-initial.txt" \
        "$CLI" run "$(scale_task "$files")" > "$RESULTS/run-scale-$files-initial.out"
    /usr/bin/time -v -o "$RESULTS/memory-scale-$files-nochange.txt" \
        "$CLI" run "$(scale_task "$files")" > "$RESULTS/run-scale-$files-nochange.out"
    grep -q "Skipped  : 0 newer files, $files unchanged files." \
        "$RESULTS/run-scale-$files-nochange.out" ||
        die "tarnwick's second run did not find all $files files unchanged"
    echo "$files files: $(grep -h 'Maximum resident' "$RESULTS/memory-scale-$files-"*.txt | tr -s ' \t' ' ' | paste -sd';')"
done

say "Summary"
note_load end
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 "$BENCH_DIR/summarize.py" "$RESULTS" | tee "$RESULTS/summary.md"
echo
echo "Machine: nproc $(nproc), $(findmnt -no FSTYPE -T "$SCRATCH") on $(findmnt -no SOURCE -T "$SCRATCH"), kernel $(uname -r)"
echo "Results: $RESULTS"
echo "Deleting the copies of the small tree"
rm -rf "$TRASH" "$OLD_TRASH" "$DST_SMALL" "$DST_RSYNC" "$DST_CP" "$SCRATCH"/dst-scale-*
