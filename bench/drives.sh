#!/usr/bin/env bash
# Runs onto the drives users mirror to, through their real drivers: exFAT
# (exfat-fuse on a loop device), FAT32 (fusefat), NTFS (ntfs-3g), sshfs to a
# private sshd on 127.0.0.1 (the served folder an ext4 loop image) and ext4
# on a loop device as the control. Each image is IMAGE_MIB (256) MiB.
#
# The source is a tree of FILES (3,000) files of 0-8 KiB in about 30 folders
# (make_tree.py's small tree, fixed seed, times with a nanosecond part). In
# each of ROUNDS (3) rounds, for each file system in turn, on a freshly made
# and mounted image:
#
#   1. initial copy, each tool into its own empty folder on the drive:
#        tarnwick-cli run (its end-of-run flush of the target is part of it)
#        rsync -a SRC/ DST/ && sync -f DST
#        rsync -rt --modify-window=2 SRC/ DST/ && sync -f DST
#   2. the drive unmounted and mounted again, as when it is plugged in for
#      the next backup (the drivers' and the kernel's caches of it are gone);
#   3. no-change re-run of each tool on the target it made itself.
#
# The tools take turns, their order rotated each round. Each rsync is timed
# together with its sync; `sync -f` flushes only the target's file system,
# as tarnwick's own flush (syncfs) does: a plain `sync` would also write out
# whatever else the machine has pending. The table gives the median of the
# rounds and, for the re-runs, how many files each tool copied again.
#
#   bench/drives.sh [SCRATCH]
#
# SCRATCH (default /tmp/tarnwick-bench) keeps the source tree between runs;
# the images live in SCRATCH/drives and are removed at the end. FS (default
# "exfat fat32 ntfs sshfs ext4"), FILES, FOLDERS (30), ROUNDS, IMAGE_MIB;
# BUILD_DIR (default build) is the build measured; NO_BUILD=1 does not build
# tarnwick-cli first. The table goes to SCRATCH/results-drives/drives.md.
#
# Needs root, /dev/fuse, rsync, python3 and the packages of
# scripts/install-deps.sh (exfat-fuse exfatprogs fusefat dosfstools ntfs-3g
# e2fsprogs sshfs openssh-server openssh-client).
set -euo pipefail

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH_DIR")
SCRATCH=${1:-${TARNWICK_BENCH_DIR:-/tmp/tarnwick-bench}}
BUILD_DIR=${BUILD_DIR:-$REPO/build}
FS=${FS:-exfat fat32 ntfs sshfs ext4}
FILES=${FILES:-3000}
FOLDERS=${FOLDERS:-30}
ROUNDS=${ROUNDS:-3}
IMAGE_MIB=${IMAGE_MIB:-256}
SEED=20261209

die() { printf 'bench: %s\n' "$*" >&2; exit 1; }
say() { printf '\n== %s\n' "$*"; }
[ "$(id -u)" -eq 0 ] || die "loop devices and mounts: run as root"
[ -e /dev/fuse ] || die "/dev/fuse is missing"
export PATH=$PATH:/usr/sbin:/sbin
for tool in rsync python3 losetup mkfs.ext4 mkfs.exfat mount.exfat-fuse mkfs.vfat fusefat \
        mkntfs ntfs-3g sshfs ssh ssh-keygen fusermount3; do
    command -v "$tool" > /dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
done
[ -x /usr/sbin/sshd ] || die "/usr/sbin/sshd is missing (openssh-server)"

if [ "${NO_BUILD:-0}" != 1 ]; then
    cmake --build "$BUILD_DIR" --target tarnwick-cli > /dev/null
fi
[ -x "$BUILD_DIR/bin/tarnwick-cli" ] || die "$BUILD_DIR/bin/tarnwick-cli is missing (build it, or set BUILD_DIR)"

mkdir -p "$SCRATCH"
SCRATCH=$(cd "$SCRATCH" && pwd)
RESULTS=$SCRATCH/results-drives
WORK=$SCRATCH/drives
SRC=$SCRATCH/src-drives-$FILES-$FOLDERS
rm -rf "$RESULTS" "$WORK"
mkdir -p "$RESULTS" "$WORK/home" "$WORK/config" "$WORK/ssh"
# One build for the whole sitting, even if the build folder is rebuilt meanwhile.
CLI=$WORK/tarnwick-cli
cp "$BUILD_DIR/bin/tarnwick-cli" "$CLI"

# FAT keeps local times: the drivers and every tool agree on UTC.
export TZ=UTC
export TARNWICK_HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config
"$CLI" init > /dev/null

# ------------------------------------------------------------ teardown

LOOPS=()
SSHD_PID=
MADE_RUN_SSHD=0

# driver_pid MOUNT_POINT: the FUSE driver this script started for that mount.
driver_pid() {
    local entry
    for entry in /proc/[0-9]*; do
        if tr '\0' '\n' 2> /dev/null < "$entry/cmdline" | grep -qxF "$1"; then
            echo "${entry#/proc/}"
            return 0
        fi
    done
    return 1
}

# unmount_point MOUNT_POINT: unmounts and waits for its driver to end.
unmount_point() {
    local point=$1 pid
    mountpoint -q "$point" || return 0
    pid=$(driver_pid "$point" || true)
    if ! umount "$point" 2> /dev/null; then
        umount -l "$point" || true
    fi
    [ -n "$pid" ] || return 0
    for _ in $(seq 100); do
        process_alive "$pid" || return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2> /dev/null || true
}

process_alive() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2> /dev/null | cut -d' ' -f1)
    [ -n "$state" ] && [ "$state" != Z ]
}

detach_loops() {
    local loop
    for loop in "${LOOPS[@]}"; do
        losetup -d "$loop" 2> /dev/null || true
    done
    LOOPS=()
}

cleanup() {
    local point
    # Every step is tried, whatever the one before it returned.
    set +e +o pipefail
    # Deepest first: sshfs mounts before the ext4 folders they serve.
    for point in $(findmnt -rn -o TARGET | grep -F "$WORK/" | sort -r); do
        unmount_point "$point"
    done
    detach_loops
    # Any loop device still on an image of ours (one attached by a step that
    # failed half-way).
    losetup -a | grep -F "($WORK/" | cut -d: -f1 | while read -r loop; do
        losetup -d "$loop" 2> /dev/null || true
    done
    if [ -n "$SSHD_PID" ]; then
        kill "$SSHD_PID" 2> /dev/null || true
        wait "$SSHD_PID" 2> /dev/null || true
    fi
    if [ "$MADE_RUN_SSHD" = 1 ]; then
        rmdir /run/sshd 2> /dev/null || true
    fi
    if findmnt -rn -o TARGET | grep -qF "$WORK/"; then
        echo "bench: still mounted under $WORK; left in place" >&2
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --------------------------------------------------------------- sshd

start_sshd() {
    [ -n "$SSHD_PID" ] && return 0
    local ssh=$WORK/ssh port
    if [ ! -d /run/sshd ]; then
        mkdir -p /run/sshd
        MADE_RUN_SSHD=1
    fi
    ssh-keygen -q -t ed25519 -N '' -f "$ssh/host_key"
    ssh-keygen -q -t ed25519 -N '' -f "$ssh/client_key"
    cp "$ssh/client_key.pub" "$ssh/authorized_keys"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    cat > "$ssh/sshd_config" << EOF
Port $port
ListenAddress 127.0.0.1
HostKey $ssh/host_key
AuthorizedKeysFile $ssh/authorized_keys
PidFile $ssh/sshd.pid
StrictModes no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
Subsystem sftp internal-sftp
EOF
    /usr/sbin/sshd -D -e -f "$ssh/sshd_config" > "$ssh/sshd.log" 2>&1 &
    SSHD_PID=$!
    SSH_PORT=$port
    for _ in $(seq 100); do
        python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2> /dev/null && return 0
        sleep 0.05
    done
    die "sshd did not listen (see $ssh/sshd.log)"
}

# ------------------------------------------------------------- drives

# attach IMAGE: a loop device for it, in ATTACHED (not printed: a command
# substitution would run in a subshell and lose it from LOOPS).
attach() {
    ATTACHED=$(losetup -f --show "$1")
    LOOPS+=("$ATTACHED")
}

# make_drive FS DIR: a new image DIR/fs.img with a new file system on it.
make_drive() {
    local fs=$1 dir=$2
    mkdir -p "$dir/mnt"
    truncate -s "${IMAGE_MIB}M" "$dir/fs.img"
    case $fs in
        exfat) mkfs.exfat "$dir/fs.img" > /dev/null ;;
        fat32) mkfs.vfat -F 32 "$dir/fs.img" > /dev/null ;;
        ntfs) mkntfs -F -Q "$dir/fs.img" > /dev/null 2>&1 ;;
        ext4 | sshfs) mkfs.ext4 -q -F -m 0 -E nodiscard "$dir/fs.img" ;;
    esac
    if [ "$fs" = sshfs ]; then
        mkdir -p "$dir/served"
        attach "$dir/fs.img"
        mount -t ext4 "$ATTACHED" "$dir/served"
    fi
}

# mount_drive FS DIR: mounts the image at DIR/mnt through its driver.
mount_drive() {
    local fs=$1 dir=$2
    case $fs in
        exfat)
            attach "$dir/fs.img"
            mount.exfat-fuse "$ATTACHED" "$dir/mnt" > /dev/null
            ;;
        fat32) fusefat -o rw+ "$dir/fs.img" "$dir/mnt" > /dev/null 2>&1 ;;
        ntfs) ntfs-3g "$dir/fs.img" "$dir/mnt" ;;
        ext4)
            attach "$dir/fs.img"
            mount -t ext4 "$ATTACHED" "$dir/mnt"
            ;;
        sshfs)
            start_sshd
            sshfs -o "IdentityFile=$WORK/ssh/client_key,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes,LogLevel=ERROR,port=$SSH_PORT" \
                "root@127.0.0.1:$dir/served" "$dir/mnt"
            ;;
    esac
    for _ in $(seq 100); do
        mountpoint -q "$dir/mnt" && return 0
        sleep 0.05
    done
    die "$fs did not mount at $dir/mnt"
}

# unmount_drive FS DIR [all]: unmounts DIR/mnt and frees its loop device;
# with "all" also the folder an sshfs drive serves.
unmount_drive() {
    local fs=$1 dir=$2 loop
    unmount_point "$dir/mnt"
    if [ "$fs" = sshfs ] && [ "${3:-}" = all ]; then
        unmount_point "$dir/served"
    fi
    # The loop devices of images no longer mounted.
    local kept=()
    for loop in "${LOOPS[@]}"; do
        if findmnt -rn -S "$loop" > /dev/null; then
            kept+=("$loop")
        else
            losetup -d "$loop" 2> /dev/null || true
        fi
    done
    LOOPS=("${kept[@]}")
}

# ------------------------------------------------------------- timing

# whole_files SRC DST: how many files of SRC are in DST with their size. A
# tool's own count is not enough: rsync -a counts as transferred the files
# fusefat refused to make.
whole_files() {
    python3 - "$1" "$2" << 'EOF'
import os, sys
source, target = sys.argv[1], sys.argv[2]
whole = 0
for folder, _, names in os.walk(source):
    for name in names:
        path = os.path.join(folder, name)
        try:
            if os.stat(os.path.join(target, os.path.relpath(path, source))).st_size == os.stat(path).st_size:
                whole += 1
        except OSError:
            pass
print(whole)
EOF
}

# timed FS PHASE TOOL ROUND TARGET COMMAND...: runs COMMAND, appends one
# line to results.tsv: fs, phase, tool, round, seconds, files copied, exit
# status, then (not timed) the files whole in TARGET.
timed() {
    local fs=$1 phase=$2 tool=$3 round=$4 target=$5 out start end status copied whole
    shift 5
    out=$RESULTS/$fs-$phase-$tool-$round.out
    start=$(date +%s%N)
    set +e
    "$@" > "$out" 2>&1
    status=$?
    set -e
    end=$(date +%s%N)
    if [ "$tool" = tarnwick ]; then
        copied=$(sed -n 's/.*Mirrored : [0-9]* folders, \([0-9]*\) files.*/\1/p' "$out" | tail -1)
    else
        copied=$(sed -n 's/^Number of regular files transferred: \([0-9,]*\).*/\1/p' "$out" | tr -d , | tail -1)
    fi
    whole=$(whole_files "$SRC" "$target")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$fs" "$phase" "$tool" "$round" \
        "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" \
        "${copied:-?}" "$status" "$whole" >> "$RESULTS/results.tsv"
    printf '  %-6s %-8s %-9s round %s: %s s, %s copied%s, %s of %s files whole in the target\n' \
        "$fs" "$phase" "$tool" "$round" "$(tail -1 "$RESULTS/results.tsv" | cut -f5)" \
        "${copied:-?}" "$([ "$status" = 0 ] || echo ", exit $status")" "$whole" "$FILES"
}

# rsync, then the flush of the target's file system, also after an rsync
# that reported errors (as fusefat's refused chmod makes rsync -a do).
rsync_synced() {
    local target=${*: -1} status=0
    rsync --stats "$@" || status=$?
    sync -f "$target"
    return "$status"
}
rsync_a() { rsync_synced -a "$1/" "$2/"; }
rsync_rt() { rsync_synced -rt --modify-window=2 "$1/" "$2/"; }

# ---------------------------------------------------------------- run

python3 - "$BENCH_DIR" "$SRC" "$FILES" "$FOLDERS" "$SEED" << 'EOF'
# make_tree.py's small tree, with the folder count chosen here.
import os, random, shutil, sys
bench, dest, files, folders, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
sys.path.insert(0, bench)
import make_tree
stamp = dest + ".stamp"
wanted = f"small seed={seed} files={files} folders={folders}\n"
if os.path.isdir(dest) and os.path.exists(stamp) and open(stamp).read() == wanted:
    sys.exit(0)
if os.path.exists(stamp):
    os.remove(stamp)
shutil.rmtree(dest, ignore_errors=True)
os.makedirs(dest)
make_tree.make_small(dest, random.Random(seed), files=files, folders=folders)
os.utime(dest, ns=(make_tree.TIME_LOW_NS, make_tree.TIME_LOW_NS))
open(stamp, "w").write(wanted)
EOF
echo "source: $SRC ($(find "$SRC" -type f | wc -l) files, $(find "$SRC" -mindepth 1 -type d | wc -l) folders, $(du -sh --apparent-size "$SRC" | cut -f1))"

echo "kernel $(uname -r), $(nproc) CPUs, $(rsync --version | head -1), tarnwick $("$CLI" --version | cut -d' ' -f2-)"
echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)" | tee "$RESULTS/load.txt"

TOOLS=(tarnwick rsync-a rsync-rt)
for round in $(seq "$ROUNDS"); do
    # Each round starts with another tool.
    shift_by=$(( (round - 1) % ${#TOOLS[@]} ))
    order=("${TOOLS[@]:shift_by}" "${TOOLS[@]:0:shift_by}")
    for fs in $FS; do
        say "round $round, $fs ($(cut -d' ' -f1-3 /proc/loadavg))"
        dir=$WORK/$fs-$round
        make_drive "$fs" "$dir"
        mount_drive "$fs" "$dir"
        mnt=$dir/mnt
        mkdir "$mnt/tarnwick" "$mnt/rsync-a" "$mnt/rsync-rt"
        task=$("$CLI" task add "drives-$fs-$round" --source "$SRC" --target "$mnt/tarnwick")
        for phase in initial nochange; do
            if [ "$phase" = nochange ]; then
                unmount_drive "$fs" "$dir"
                mount_drive "$fs" "$dir"
            fi
            for tool in "${order[@]}"; do
                case $tool in
                    tarnwick) timed "$fs" "$phase" "$tool" "$round" "$mnt/tarnwick" \
                        "$CLI" run --quiet "$task" ;;
                    *) timed "$fs" "$phase" "$tool" "$round" "$mnt/$tool" \
                        "rsync_${tool#rsync-}" "$SRC" "$mnt/$tool" ;;
                esac
            done
        done
        unmount_drive "$fs" "$dir" all
        rm -rf "$dir"
    done
done
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$RESULTS/load.txt"

say "Results (median of $ROUNDS rounds)"
python3 - "$RESULTS" "$FILES" "$FS" << 'EOF' | tee "$RESULTS/drives.md"
import collections, statistics, sys
results, files, order = sys.argv[1], int(sys.argv[2]), sys.argv[3].split()
runs = collections.defaultdict(list)
with open(f"{results}/results.tsv") as f:
    for line in f:
        fs, phase, tool, rnd, seconds, copied, status, whole = line.rstrip("\n").split("\t")
        runs[fs, phase, tool].append((float(seconds), copied, int(status), int(whole)))
tools = ["tarnwick", "rsync-a", "rsync-rt"]
names = {"tarnwick": "tarnwick-cli run", "rsync-a": "rsync -a + sync",
         "rsync-rt": "rsync -rt --modify-window=2 + sync"}
print("| Drive | Case | " + " | ".join(names[t] for t in tools) + " |")
print("|---|---|" + "---|" * len(tools))
for fs in order:
    for phase, title in (("initial", f"initial copy, {files:,} files"),
                         ("nochange", "no-change re-run")):
        cells = []
        for tool in tools:
            got = runs.get((fs, phase, tool))
            if not got:
                cells.append("-")
                continue
            cell = f"{statistics.median(s for s, _, _, _ in got):.2f} s"
            if phase == "nochange":
                copied = sorted({c for _, c, _, _ in got})
                cell += f" ({'/'.join(copied)} copied again)"
            bad = sorted({s for _, _, s, _ in got if s != 0})
            if bad:
                cell += f", exit {'/'.join(map(str, bad))}"
            short = sorted({w for _, _, _, w in got if w != files})
            if short:
                cell += f", **{'/'.join(map(str, short))} of {files:,} files in the target**"
            cells.append(cell)
        print(f"| {fs} | {title} | " + " | ".join(cells) + " |")
EOF
cat "$RESULTS/load.txt"
