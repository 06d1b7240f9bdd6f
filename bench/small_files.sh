#!/usr/bin/env bash
# What a user who runs many small tasks pays: the start of every command,
# and copies of many small files. Measured side by side in one sitting with
# the floors (true, Qt Core's own start, walk_limit, plain_copy) and the
# peers (cp, rsync):
#
#   1. start-up: true, qt_start, tarnwick-cli --version, list, and a run of a
#      task whose source folder is empty;
#   2. for each tree size in FILES: the initial copy into a freshly made ext4
#      (a loop image, made again before every single run, so no tool meets
#      the inodes another tool just freed), then the no-change re-run of
#      each tool on the target it made itself.
#
#   bench/small_files.sh [SCRATCH]
#
# SCRATCH (default /tmp/tarnwick-bench) keeps the trees between runs.
# BUILD_DIR (default build) is the build measured; BEFORE_CLI, when set, is
# another tarnwick-cli (an earlier build) measured beside it on every case.
# FILES (default "10000 100000"), RUNS (10), RUNS_COPY (3), START_RUNS (40).
# Needs root for the loop mount, hyperfine, rsync, mkfs.ext4 and python3.
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH_DIR")
SCRATCH=${1:-${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}}
BUILD_DIR=${BUILD_DIR:-$REPO/build}
FILES=${FILES:-10000 100000}
RUNS=${RUNS:-10}
RUNS_COPY=${RUNS_COPY:-3}
START_RUNS=${START_RUNS:-40}
BEFORE_CLI=${BEFORE_CLI:-}

die() { printf 'bench: %s\n' "$*" >&2; exit 1; }
say() { printf '\n== %s\n' "$*"; }
[ "$(id -u)" -eq 0 ] || die "the fresh file system is a loop mount: run as root"
case "${1:-}${BUILD_DIR:-}${BEFORE_CLI:-}" in *" "*) die "paths with spaces are not supported (hyperfine splits commands at spaces)" ;; esac
for tool in hyperfine rsync cp mkfs.ext4 python3; do
    command -v "$tool" > /dev/null || die "$tool is missing"
done

cmake --build "$BUILD_DIR" --target tarnwick-cli walk_limit plain_copy qt_start -j2 > /dev/null
CLI=$BUILD_DIR/bin/tarnwick-cli
WALK_LIMIT=$BUILD_DIR/bench/walk_limit
PLAIN_COPY=$BUILD_DIR/bench/plain_copy
QT_START=$BUILD_DIR/bench/qt_start

mkdir -p "$SCRATCH"
SCRATCH=$(cd "$SCRATCH" && pwd)
RESULTS=$SCRATCH/results-small-files
HOME_DIR=$SCRATCH/home-small-files
MNT=$SCRATCH/fresh
IMG=$SCRATCH/fresh.img
rm -rf "$RESULTS" "$HOME_DIR" "$SCRATCH/xdg-small-files"
mkdir -p "$RESULTS" "$HOME_DIR" "$MNT" "$SCRATCH/empty" "$SCRATCH/xdg-small-files"
export TARNWICK_HOME=$HOME_DIR XDG_CONFIG_HOME=$SCRATCH/xdg-small-files
"$CLI" init > /dev/null
EMPTY_TASK=$("$CLI" task add bench-empty --source "$SCRATCH/empty" --target "$SCRATCH/empty")
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)" > "$RESULTS/load.txt"

# Every command of both builds, named for the table.
clis=("tarnwick=$CLI")
[ -n "$BEFORE_CLI" ] && clis+=("before=$BEFORE_CLI")

say "Start-up"
args=(-N --style basic --warmup 3 --runs "$START_RUNS" --export-markdown "$RESULTS/start.md"
    -n true true -n qt_start "$QT_START")
for entry in "${clis[@]}"; do
    name=${entry%%=*} cli=${entry#*=}
    args+=(-n "$name --version" "$cli --version" -n "$name list" "$cli list"
        -n "$name run (empty task)" "$cli run $EMPTY_TASK")
done
hyperfine "${args[@]}"

# A new ext4 behind $MNT, with the target folder of every tool in it.
cat > "$RESULTS/fresh.sh" << EOF
#!/usr/bin/env bash
set -e
mountpoint -q "$MNT" && umount "$MNT"
[ -e "$IMG" ] || truncate -s 8G "$IMG"
# Inodes for four copies of the biggest tree (the default ratio gives half).
mkfs.ext4 -q -F -N 1000000 -E lazy_itable_init=0,lazy_journal_init=0 "$IMG"
mount -o loop "$IMG" "$MNT"
mkdir "$MNT/tarnwick" "$MNT/before" "$MNT/cp" "$MNT/rsync" "$MNT/plain_copy"
sync
EOF
chmod +x "$RESULTS/fresh.sh"
trap 'mountpoint -q "$MNT" && umount "$MNT"; rm -f "$IMG"' EXIT

for files in $FILES; do
    src=$SCRATCH/src-files-$files
    if [ "$files" = 100000 ]; then
        python3 "$BENCH_DIR/make_tree.py" small "$src" > /dev/null
    else
        python3 "$BENCH_DIR/make_tree.py" small "$src" --files "$files" > /dev/null
    fi
    task=$("$CLI" task add "bench-$files" --source "$src" --target "$MNT/tarnwick")
    before_task=
    [ -n "$BEFORE_CLI" ] &&
        before_task=$("$CLI" task add "bench-before-$files" --source "$src" --target "$MNT/before")

    say "Initial copy of $files small files into a fresh ext4"
    echo "initial $files: $(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"
    args=(-N --style basic --runs "$RUNS_COPY" --prepare "$RESULTS/fresh.sh"
        --export-markdown "$RESULTS/initial-$files.md"
        -n tarnwick "$CLI run $task")
    [ -n "$BEFORE_CLI" ] && args+=(-n before "$BEFORE_CLI run $before_task")
    args+=(-n cp "cp -r --preserve=timestamps $src/. $MNT/cp/"
        -n rsync "rsync -rt $src/ $MNT/rsync/"
        -n plain_copy "$PLAIN_COPY $src $MNT/plain_copy")
    hyperfine "${args[@]}"

    say "No-change re-run of $files small files (each tool on its own target)"
    "$RESULTS/fresh.sh"
    "$CLI" run "$task" > /dev/null
    [ -n "$BEFORE_CLI" ] && "$BEFORE_CLI" run "$before_task" > /dev/null
    cp -r --preserve=timestamps "$src/." "$MNT/cp/"
    rsync -rt "$src/" "$MNT/rsync/"
    "$CLI" run "$task" | grep -q "Skipped  : 0 newer files, $files unchanged files." ||
        die "the re-run did not find all $files files unchanged"
    echo "nochange $files: $(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"
    args=(-N --style basic --warmup 1 --runs "$RUNS" --export-markdown "$RESULTS/nochange-$files.md"
        -n tarnwick "$CLI run $task")
    [ -n "$BEFORE_CLI" ] && args+=(-n before "$BEFORE_CLI run $before_task")
    args+=(-n cp "cp -ru --preserve=timestamps $src/. $MNT/cp/"
        -n rsync "rsync -rt --update $src/ $MNT/rsync/"
        -n walk_limit "$WALK_LIMIT $src $MNT/tarnwick")
    hyperfine "${args[@]}"
done

echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"
say "Results in $RESULTS"
cat "$RESULTS"/start.md "$RESULTS"/initial-*.md "$RESULTS"/nochange-*.md "$RESULTS/load.txt"
