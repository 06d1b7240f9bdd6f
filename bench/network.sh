#!/usr/bin/env bash
# Runs to a target where every file operation waits a round trip, as on NFS,
# SMB or sshfs: the source tree on the local disk, the target on latfs, a
# FUSE file system that passes through to a local folder and sleeps a fixed
# delay on every metadata, open, create and close request (not on data).
# For each delay, side by side in one sitting:
#
#   1. initial copy into an empty target: tarnwick-cli run (as it chooses, and
#      with --parallel 1: one file at a time), rsync -a, cp -r;
#   2. no-change re-run, each tool on the target it made itself;
#
# and for every single run the FUSE requests it made, by kind (latfs's
# counters, taken just before and just after the run), so the table shows
# how many round trips each tool pays per file. Last, strace of a
# tarnwick-cli copy of a few files to the slow target: the system calls one
# new file costs, with the time each one waited.
#
#   bench/network.sh [SCRATCH]
#
# SCRATCH (default /tmp/tarnwick-bench) keeps the source trees between runs.
# CASES (default "1000:10000 5000:2000") lists delay-in-microseconds:files
# pairs; RUNS (default 1) repeats each timed run (the median is reported);
# BUILD_DIR (default build) is the build measured; LATFS_C is latfs's source
# (default ../shared/tools/latfs/latfs.c beside the project), compiled into
# BUILD_DIR/bench/latfs when that is missing. STRACE_FILES (20) sizes the
# traced copy; STRACE=0 skips it.
#
# Runs are timed with a plain loop rather than hyperfine: each run takes a
# minute or more, so a handful of runs is all there is room for, and the
# FUSE counters must be read around each single run, which hyperfine's
# prepare step cannot do without overwriting the previous run's counts.
#
# Needs root (FUSE mount), libfuse3-dev, fuse3, pkg-config, gcc, rsync,
# python3, and strace for the last part.
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH_DIR")
SCRATCH=${1:-${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}}
BUILD_DIR=${BUILD_DIR:-$REPO/build}
CASES=${CASES:-1000:10000 5000:2000}
RUNS=${RUNS:-1}
LATFS_C=${LATFS_C:-$REPO/../shared/tools/latfs/latfs.c}
STRACE=${STRACE:-1}
STRACE_FILES=${STRACE_FILES:-20}
# The kernel keeps FUSE entries and attributes this long (latfs's default);
# each timed run starts after it, so a run finds nothing of the target
# cached, as a run an hour after the last would.
LATFS_TIMEOUT=${LATFS_TIMEOUT:-1}
COLD_WAIT=$((LATFS_TIMEOUT + 1))

die() { printf 'bench: %s\n' "$*" >&2; exit 1; }
say() { printf '\n== %s\n' "$*"; }
[ "$(id -u)" -eq 0 ] || die "the slow target is a FUSE mount: run as root"
for tool in rsync cp python3 gcc pkg-config fusermount3; do
    command -v "$tool" > /dev/null || die "$tool is missing (apt-get install -y rsync libfuse3-dev fuse3 pkg-config)"
done
[ -e /dev/fuse ] || die "/dev/fuse is missing"

cmake --build "$BUILD_DIR" --target tarnwick-cli -j1 > /dev/null
CLI=$BUILD_DIR/bin/tarnwick-cli
LATFS=$BUILD_DIR/bench/latfs
if [ ! -x "$LATFS" ]; then
    [ -f "$LATFS_C" ] || die "latfs source $LATFS_C not found (set LATFS_C)"
    mkdir -p "$(dirname "$LATFS")"
    # read and writev are interposed by latfs itself (see its source).
    gcc -O2 -Wall "$LATFS_C" -o "$LATFS" $(pkg-config fuse3 --cflags --libs) -lpthread \
        -Wl,--export-dynamic-symbol=writev,--export-dynamic-symbol=read
fi

mkdir -p "$SCRATCH"
SCRATCH=$(cd "$SCRATCH" && pwd)
RESULTS=$SCRATCH/results-network
HOME_DIR=$SCRATCH/home-network
BACK=$SCRATCH/latfs-back
MNT=$SCRATCH/latfs-mnt
TRASH=$SCRATCH/latfs-trash
rm -rf "$RESULTS" "$HOME_DIR" "$SCRATCH/xdg-network" "$BACK" "$TRASH"
mkdir -p "$RESULTS" "$HOME_DIR" "$SCRATCH/xdg-network" "$BACK" "$MNT" "$TRASH"
export TARNWICK_HOME=$HOME_DIR XDG_CONFIG_HOME=$SCRATCH/xdg-network
"$CLI" init > /dev/null

LATFS_PID=
unmount() {
    if mountpoint -q "$MNT"; then
        umount "$MNT" 2> /dev/null || umount -l "$MNT"
    fi
    if [ -n "$LATFS_PID" ]; then
        wait "$LATFS_PID" 2> /dev/null || true
        LATFS_PID=
    fi
}
trap 'unmount; rm -rf "$TRASH"' EXIT

# mount DELAY_US: latfs over $BACK at $MNT, counters to $RESULTS/counts.now.
mount_latfs() {
    LATFS_DELAY_US=$1 LATFS_TIMEOUT=$LATFS_TIMEOUT LATFS_COUNTS=$RESULTS/counts.now \
        "$LATFS" -f "$BACK" "$MNT" > "$RESULTS/latfs-$1.log" 2>&1 &
    LATFS_PID=$!
    for _ in $(seq 100); do
        mountpoint -q "$MNT" && return 0
        sleep 0.1
    done
    die "latfs did not mount (see $RESULTS/latfs-$1.log)"
}

# counters_to FILE: latfs writes the requests since the last call and starts
# counting afresh.
counters_to() {
    rm -f "$RESULTS/counts.now"
    kill -USR1 "$LATFS_PID"
    for _ in $(seq 100); do
        [ -s "$RESULTS/counts.now" ] && grep -q DELAYED_TOTAL "$RESULTS/counts.now" && break
        sleep 0.05
    done
    mv "$RESULTS/counts.now" "$1"
}

# empty_target NAME: a new, empty target folder. The old one is moved aside
# in the backing folder (not deleted through the slow mount, which would
# take longer than the copies) and the kernel's cached entries are left to
# expire.
empty_target() {
    if [ -e "$BACK/$1" ]; then
        mv "$BACK/$1" "$TRASH/$1.$RANDOM$RANDOM"
    fi
    mkdir "$BACK/$1"
}

# timed LABEL COMMAND...: one run after the caches expired, with its wall and
# CPU times in $RESULTS/LABEL.time and its requests in $RESULTS/LABEL.counts.
timed() {
    local label=$1
    shift
    sleep "$COLD_WAIT"
    counters_to /dev/null
    /usr/bin/time -f '%e %U %S' -o "$RESULTS/$label.time" "$@" > "$RESULTS/$label.out"
    counters_to "$RESULTS/$label.counts"
    printf '  %-40s %s s\n' "$label" "$(cut -d' ' -f1 "$RESULTS/$label.time")"
}

echo "kernel $(uname -r), $(nproc) CPUs, rsync $(rsync --version | head -1 | awk '{print $3}'), $(cp --version | head -1)"
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)" | tee "$RESULTS/load.txt"
echo "runs per case: $RUNS (plain loop), caches left to expire ${COLD_WAIT} s before each run"

for entry in $CASES; do
    delay=${entry%%:*} files=${entry#*:}
    src=$SCRATCH/src-files-$files
    python3 "$BENCH_DIR/make_tree.py" small "$src" --files "$files" > /dev/null
    task=$("$CLI" task add "net-$delay-$files" --source "$src" --target "$MNT/tarnwick")
    # The same run one file at a time, as on a local disk: what overlapping buys.
    serial=$("$CLI" task add "net-serial-$delay-$files" --source "$src" --target "$MNT/serial" \
        --parallel 1)
    mount_latfs "$delay"
    echo "$delay us, $files files: $(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/load.txt"

    say "Initial copy of $files small files to latfs, $delay us per request"
    for run in $(seq "$RUNS"); do
        empty_target tarnwick
        timed "initial-$delay-$files-tarnwick-$run" "$CLI" run "$task"
        empty_target serial
        timed "initial-$delay-$files-serial-$run" "$CLI" run "$serial"
        empty_target rsync
        timed "initial-$delay-$files-rsync-$run" rsync -a "$src/" "$MNT/rsync/"
        empty_target cp
        timed "initial-$delay-$files-cp-$run" cp -r --preserve=timestamps "$src/." "$MNT/cp/"
    done
    grep -q "Mirrored : [0-9]* folders, $files files" "$RESULTS/initial-$delay-$files-tarnwick-$RUNS.out" ||
        die "tarnwick did not copy all $files files"

    say "No-change re-run of $files small files, $delay us per request"
    for run in $(seq "$RUNS"); do
        timed "nochange-$delay-$files-tarnwick-$run" "$CLI" run "$task"
        timed "nochange-$delay-$files-serial-$run" "$CLI" run "$serial"
        timed "nochange-$delay-$files-rsync-$run" rsync -a "$src/" "$MNT/rsync/"
        timed "nochange-$delay-$files-cp-$run" cp -ru --preserve=timestamps "$src/." "$MNT/cp/"
    done
    grep -q "Skipped  : 0 newer files, $files unchanged files." "$RESULTS/nochange-$delay-$files-tarnwick-$RUNS.out" ||
        die "the re-run did not find all $files files unchanged"

    if [ "$STRACE" = 1 ] && [ "$delay" = "${CASES%%:*}" ] && command -v strace > /dev/null; then
        say "strace of a copy of $STRACE_FILES files to latfs, $delay us per request"
        small=$SCRATCH/src-files-$STRACE_FILES
        python3 "$BENCH_DIR/make_tree.py" small "$small" --files "$STRACE_FILES" > /dev/null
        traced=$("$CLI" task add "net-strace" --source "$small" --target "$MNT/traced")
        empty_target traced
        sleep "$COLD_WAIT"
        # -w: the time each call waited, not only its time in the kernel.
        strace -f -c -w -o "$RESULTS/strace-count.txt" "$CLI" run "$traced" > /dev/null
        empty_target traced
        sleep "$COLD_WAIT"
        counters_to /dev/null
        strace -f -tt -T -e trace=file,desc -o "$RESULTS/strace-calls.txt" "$CLI" run "$traced" > /dev/null
        counters_to "$RESULTS/strace-calls.counts"
        echo "  $RESULTS/strace-count.txt, $RESULTS/strace-calls.txt"
    fi
    unmount
done

echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$RESULTS/load.txt"

say "Results (median of $RUNS runs; requests per file are those of the median run)"
python3 - "$RESULTS" << 'EOF'
import collections, pathlib, re, statistics, sys

results = pathlib.Path(sys.argv[1])
# FUSE requests as the kernel sends them; each waits the delay once, except
# READ, WRITE and FORGET. SETATTR is chmod, chown, truncate and utimens.
kinds = ["LOOKUP", "GETATTR", "CREATE", "OPEN", "FLUSH", "RELEASE", "SETATTR",
         "RENAME", "LINK", "UNLINK", "MKDIR", "FSYNC", "OPENDIR", "READDIR",
         "READDIRPLUS", "RELEASEDIR", "TMPFILE", "ACCESS", "STATFS", "GETXATTR"]
runs = collections.defaultdict(list)
for t in results.glob("*.time"):
    m = re.fullmatch(r"(initial|nochange)-(\d+)-(\d+)-(\w+)-(\d+)", t.stem)
    if m:
        wall, user, sys_ = (float(x) for x in t.read_text().split())
        runs[m.groups()[:4]].append((wall, user + sys_, t.with_suffix(".counts")))

print("| Case | Delay | Files | Tool | Wall s | CPU s | Delayed requests per file | "
      + " | ".join(k for k in kinds) + " |")
print("|---" * (7 + len(kinds)) + "|")
order = {"tarnwick": 0, "serial": 1, "rsync": 2, "cp": 3}
for key in sorted(runs, key=lambda k: (int(k[1]), k[0], order.get(k[3], 9))):
    case, delay, files, tool = key
    rs = sorted(runs[key])
    wall, cpu, counts = rs[(len(rs) - 1) // 2]
    req = {}
    total = 0
    for line in counts.read_text().splitlines():
        name, value = line.split()
        if name.startswith("REQ_"):
            req[name[4:]] = int(value)
        elif name == "DELAYED_TOTAL":
            total = int(value)
    n = int(files)
    def per_file(k):
        v = req.get(k, 0) / n
        return "" if not v else "<0.01" if v < 0.005 else f"{v:.2f}"
    cells = [per_file(k) for k in kinds]
    other = sorted(set(req) - set(kinds) - {"READ", "WRITE", "FORGET", "BATCH_FORGET"})
    print(f"| {case} | {int(delay) / 1000:g} ms | {n} | {tool} | {statistics.median(r[0] for r in rs):.2f} | "
          f"{cpu:.2f} | {total / n:.2f} | " + " | ".join(cells) + " |"
          + (f" other: {', '.join(other)}" if other else ""))
EOF
cat "$RESULTS/load.txt"
