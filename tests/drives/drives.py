#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mirrors onto the real drivers of USB drives and network shares.

Every case runs `tarnwick-cli run` with its target on a freshly made file
system mounted through the driver a user would meet:

  exfat   exfat-fuse on a loop device (whole seconds, names like a:b refused,
          names found whatever their case)
  fat32   fusefat on the image file (2 s steps, no modes, ASCII short names)
  ntfs    ntfs-3g on the image file
  sshfs   sshfs to a private sshd on 127.0.0.1, the served folder itself an
          ext4 loop image
  ext4    the kernel's ext4 on a loop device: the control

Each image is at most 64 MiB and lives in a private temporary folder. Every
mount, loop device and process made here is undone on the way out, also when
a case fails or the script is interrupted. Prints one line per case and file
system (PASS, FAIL or SKIP with the reason) and exits 1 when any case failed,
77 when nothing could run (not root, no /dev/fuse, a program missing), else 0.
A file system that cannot be mounted has its cases skipped; the rest run.

  drives.py --cli PATH [--fs exfat,fat32,...] [--case 1,4,...] [--keep]
            [--pretend-not-root] [--budget SECONDS]
"""

import argparse
import atexit
import ctypes
import errno
import os
import random
import re
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time
import traceback

SKIP_CODE = 77
MIB = 1024 * 1024
IMAGE_MIB = 64
# Free space left on a drive for the full-target case; the source is larger.
LEFT_FREE_MIB = 10
COMMAND_LIMIT_S = 30
RUN_LIMIT_S = 60
# Cases still to run when this much time has passed are reported as not run,
# and a run under way this much later is ended, so that the script tears down
# before CTest (150 s) would kill it.
DEFAULT_BUDGET_S = 115
OVERRUN_S = 20

FILE_SYSTEMS = ["exfat", "fat32", "ntfs", "sshfs", "ext4"]
FUSE_FILE_SYSTEMS = {"exfat", "fat32", "ntfs", "sshfs"}
PROGRAMS = {
    "exfat": ["mkfs.exfat", "mount.exfat-fuse"],
    "fat32": ["mkfs.vfat", "fusefat"],
    "ntfs": ["mkntfs", "ntfs-3g"],
    "sshfs": ["sshfs", "/usr/sbin/sshd", "ssh-keygen", "ssh", "mkfs.ext4"],
    "ext4": ["mkfs.ext4"],
}
ALWAYS_NEEDED = ["losetup", "mount", "umount"]

# 2024-06-15 10:00:00 UTC, an even second (FAT keeps 2 s steps).
BASE_TIME = 1718445600
NS = 10**9

# The engine's texts this harness looks for.
TEXT_FULL = "the target is full"
TEXT_FAT32_LIMIT = "too large for a FAT32 drive (4 GiB at most)"
TEXT_CASE_CLASH = ("cannot be stored beside", "the target does not tell names apart by case")
TEXT_BAD_NAME = "the target's file system cannot hold this name"
TEXT_NOT_PRESENT = "Target drive is not present"
TEXT_WENT_AWAY = "The target drive went away during the run"
TEXT_SUCCESS = "Mirror Successed!!"
ERROR_LINE = re.compile(r"^\[[^\]]*\] Error:")
UNCHANGED_LINE = re.compile(r"^\[[^\]]*\] Skipping: Keep the existing unchanged file: (.*)$")
COPIED_LINE = re.compile(r"^\[[^\]]*\] Mirroring:")


class Fail(Exception):
    def __init__(self, message, runs=()):
        super().__init__(message)
        self.runs = list(runs)


class Skip(Exception):
    pass


class Unavailable(Exception):
    """A file system that cannot be set up here; its cases are skipped."""


def which(program):
    if os.path.isabs(program):
        return program if os.access(program, os.X_OK) else None
    return shutil.which(program)


def command(argv, timeout=COMMAND_LIMIT_S, check=True, env=None):
    try:
        done = subprocess.run(argv, capture_output=True, timeout=timeout, env=env,
                              stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        raise Unavailable(f"{' '.join(argv)} did not end within {timeout} s")
    if check and done.returncode != 0:
        # The first line says what went wrong; usage and help texts follow it.
        text = (done.stderr or done.stdout).decode(errors="replace").strip().splitlines()
        raise Unavailable(f"{os.path.basename(argv[0])} exited {done.returncode}: "
                          f"{text[0].strip() if text else '(no message)'}")
    return done


def errno_name(error):
    return errno.errorcode.get(error.errno, str(error.errno)) if error.errno else str(error)


# ------------------------------------------------------------- processes

def become_subreaper():
    """Daemonizing drivers then stay our children, so that a killed driver can
    be waited for and nothing is left as a zombie of someone else."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def process_args(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return [a.decode(errors="replace") for a in f.read().split(b"\0") if a]
    except OSError:
        return []


def process_state(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return None


def pids_with_arg(predicate):
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit() and int(entry) != os.getpid():
            if any(predicate(arg) for arg in process_args(entry)):
                found.append(int(entry))
    return found


def process_gone(pid):
    try:
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done == pid:
            return True
    except ChildProcessError:
        pass
    state = process_state(pid)
    return state is None or state == "Z"


def wait_gone(pid, limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if process_gone(pid):
            return True
        time.sleep(0.02)
    return process_gone(pid)


def end_process(pid, limit=3.0):
    """SIGTERM, then SIGKILL: for a process this script started."""
    if process_gone(pid):
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            return
        if wait_gone(pid, limit):
            return


# ----------------------------------------------------------------- mounts

def mounts_under(folder):
    """Mount points at or below folder, deepest first, from mountinfo."""
    folder = os.path.realpath(folder)
    points = []
    with open("/proc/self/mountinfo") as f:
        for line in f:
            fields = line.split()
            point = fields[4].encode().decode("unicode_escape")
            if point == folder or point.startswith(folder + "/"):
                points.append((point, fields[2]))
    return sorted(points, key=lambda p: -len(p[0]))


def abort_fuse(device):
    """Ends a FUSE connection that no longer answers, by its device number."""
    minor = device.split(":")[1]
    try:
        with open(f"/sys/fs/fuse/connections/{minor}/abort", "w") as f:
            f.write("1")
    except OSError:
        pass


def unmount_by_force(point):
    for point_found, device in mounts_under(point):
        if point_found == point and device.startswith("0:"):
            abort_fuse(device)
    command(["umount", "-l", point], check=False)


class Lab:
    """The private temporary folder and everything made in it, torn down in
    reverse order of making."""

    def __init__(self, args):
        self.args = args
        self.root = tempfile.mkdtemp(prefix="tarnwick-drives-")
        self.live = []  # objects with teardown(), in order of making
        self.runs = []  # tarnwick-cli processes started
        self.problems = []
        self.sshd = None
        self.counter = 0
        self.closed = False
        self.made_run_sshd = False
        self.deadline = time.monotonic() + args.budget + OVERRUN_S

    def folder(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def unique(self, stem):
        self.counter += 1
        return f"{stem}-{self.counter:03d}"

    def close(self):
        if self.closed:
            return
        self.closed = True
        for process in self.runs:
            if process.poll() is None:
                process.kill()
                process.wait()
        while self.live:
            item = self.live.pop()
            try:
                item.teardown()
            except Exception as error:  # teardown goes on with the rest
                self.problems.append(f"{item}: {error}")
        # Anything still running that names this folder was started here.
        for pid in pids_with_arg(lambda arg: self.root in arg):
            end_process(pid, 1.0)
        for point, device in mounts_under(self.root):
            unmount_by_force(point)
        left = mounts_under(self.root)
        for point, _ in left:
            self.problems.append(f"still mounted: {point}")
        for line in command(["losetup", "-a"], check=False).stdout.decode(errors="replace").splitlines():
            if self.root in line:
                self.problems.append(f"loop device left: {line.strip()}")
        if self.made_run_sshd:
            try:
                os.rmdir("/run/sshd")
            except OSError:
                pass
        # Reap what daemonizing children left to us.
        while True:
            try:
                pid, _ = os.waitpid(-1, os.WNOHANG)
            except ChildProcessError:
                break
            if pid == 0:
                break
        if self.args.keep or left:
            print(f"kept {self.root}", file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)


class Sshd:
    """A private sshd on a free port of 127.0.0.1 with its own host key,
    authorized key and configuration; never the system's."""

    def __init__(self, lab):
        self.lab = lab
        self.folder = lab.folder("ssh")
        self.process = None
        self.port = None
        self.host_key = os.path.join(self.folder, "host_key")
        self.client_key = os.path.join(self.folder, "client_key")
        self.log = os.path.join(self.folder, "sshd.log")

    def __str__(self):
        return "sshd"

    def start(self):
        if not os.path.isdir("/run/sshd"):
            os.makedirs("/run/sshd", mode=0o755)
            self.lab.made_run_sshd = True
        for key in (self.host_key, self.client_key):
            command(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key])
        authorized = os.path.join(self.folder, "authorized_keys")
        shutil.copyfile(self.client_key + ".pub", authorized)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        config = os.path.join(self.folder, "sshd_config")
        with open(config, "w") as f:
            f.write("\n".join([
                f"Port {self.port}",
                "ListenAddress 127.0.0.1",
                f"HostKey {self.host_key}",
                f"AuthorizedKeysFile {authorized}",
                f"PidFile {os.path.join(self.folder, 'sshd.pid')}",
                "StrictModes no",
                "PermitRootLogin prohibit-password",
                "PasswordAuthentication no",
                "KbdInteractiveAuthentication no",
                "UsePAM no",
                "Subsystem sftp internal-sftp",
                "",
            ]))
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config],
                                            stdout=log, stderr=log, stdin=subprocess.DEVNULL)
        self.lab.live.append(self)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise Unavailable(f"sshd exited {self.process.returncode}: {self.log_tail()}")
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return
            except OSError:
                time.sleep(0.05)
        raise Unavailable(f"sshd did not listen on port {self.port} within 10 s")

    def log_tail(self):
        try:
            with open(self.log, errors="replace") as f:
                lines = f.read().strip().splitlines()
            return lines[-1] if lines else "(no output)"
        except OSError:
            return "(no log)"

    def teardown(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(3)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(3)


class Drive:
    """One file system image, mounted at self.mount_point through its driver."""

    def __init__(self, lab, kind):
        self.lab = lab
        self.kind = kind
        self.folder = lab.folder(lab.unique(f"drive-{kind}"))
        self.image = os.path.join(self.folder, f"{kind}.img")
        self.mount_point = os.path.join(self.folder, "mnt")
        self.loop = None
        self.pid = None  # the FUSE driver
        self.server = None  # sshfs: the served folder, an ext4 mount of its own
        self.server_loop = None
        self.mounted = False
        self.folds_case = None
        self.keeps_modes = None
        os.makedirs(self.mount_point)
        lab.live.append(self)

    def __str__(self):
        return f"{self.kind} drive at {self.mount_point}"

    # ------------------------------------------------------------ set-up

    def make_image(self, path):
        with open(path, "wb") as f:
            f.truncate(IMAGE_MIB * MIB)

    def attach(self, path):
        loop = command(["losetup", "-f", "--show", path]).stdout.decode().strip()
        if not loop.startswith("/dev/"):
            raise Unavailable(f"losetup gave no device for {path}")
        return loop

    def mount(self):
        try:
            self._mount()
        except Unavailable as error:
            raise Unavailable(f"cannot mount {self.kind}: {error}")
        deadline = time.monotonic() + 10
        while not os.path.ismount(self.mount_point):
            if time.monotonic() > deadline:
                raise Unavailable(f"cannot mount {self.kind}: {self.mount_point} is no mount "
                                  "point 10 s after the driver started")
            time.sleep(0.02)
        self.mounted = True
        if self.kind in FUSE_FILE_SYSTEMS:
            self.pid = self.find_driver()
        self.probe()
        return self

    def _mount(self):
        if self.kind == "exfat":
            self.make_image(self.image)
            command(["mkfs.exfat", self.image])
            self.loop = self.attach(self.image)
            command(["mount.exfat-fuse", self.loop, self.mount_point])
        elif self.kind == "fat32":
            self.make_image(self.image)
            command(["mkfs.vfat", "-F", "32", self.image])
            command(["fusefat", "-o", "rw+", self.image, self.mount_point])
        elif self.kind == "ntfs":
            self.make_image(self.image)
            command(["mkntfs", "-F", "-Q", self.image])
            command(["ntfs-3g", self.image, self.mount_point])
        elif self.kind == "ext4":
            self.make_image(self.image)
            command(["mkfs.ext4", "-q", "-F", "-m", "0", "-E", "nodiscard", self.image])
            self.loop = self.attach(self.image)
            command(["mount", "-t", "ext4", self.loop, self.mount_point])
        elif self.kind == "sshfs":
            if self.lab.sshd is None:
                self.lab.sshd = Sshd(self.lab)
                self.lab.sshd.start()
            sshd = self.lab.sshd
            self.server = os.path.join(self.folder, "served")
            os.makedirs(self.server)
            self.make_image(self.image)
            command(["mkfs.ext4", "-q", "-F", "-m", "0", "-E", "nodiscard", self.image])
            self.server_loop = self.attach(self.image)
            command(["mount", "-t", "ext4", self.server_loop, self.server])
            options = ",".join([
                f"IdentityFile={sshd.client_key}", "StrictHostKeyChecking=no",
                "UserKnownHostsFile=/dev/null", "BatchMode=yes", "LogLevel=ERROR",
                f"port={sshd.port}"])
            command(["sshfs", "-o", options, f"root@127.0.0.1:{self.server}", self.mount_point])
        else:
            raise Unavailable(f"unknown file system {self.kind}")

    def find_driver(self):
        pids = pids_with_arg(lambda arg: arg.rstrip("/") == self.mount_point)
        if not pids:
            raise Unavailable(f"cannot mount {self.kind}: no driver process names {self.mount_point}")
        return max(pids)

    def probe(self):
        """What this file system does with case and modes, from a probe file
        outside every target folder."""
        folder = os.path.join(self.mount_point, ".drive-probe")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "CaseProbe")
        with open(path, "w") as f:
            f.write("x")
        self.folds_case = os.path.exists(os.path.join(folder, "CASEPROBE"))
        try:
            modes = []
            for mode in (0o664, 0o775):
                os.chmod(path, mode)
                modes.append(stat.S_IMODE(os.stat(path).st_mode))
            self.keeps_modes = modes == [0o664, 0o775]
        except OSError:
            self.keeps_modes = False

    def holds_name(self, name):
        """None when a file of that name can be made and is listed under it,
        else what went wrong."""
        folder = os.path.join(self.mount_point, ".drive-probe", "names")
        os.makedirs(folder, exist_ok=True)
        try:
            fd = os.open(os.path.join(folder, name), os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644)
            os.close(fd)
        except OSError as error:
            return errno_name(error)
        if name not in os.listdir(folder):
            return "listed under another name"
        return None

    def target(self, name):
        path = os.path.join(self.mount_point, name)
        os.makedirs(path)
        return path

    def fill_place(self):
        return self.server if self.kind == "sshfs" else self.mount_point

    def fill(self, leave_mib):
        """Fills the file system up with 1 MiB files, then removes enough of
        them to leave about leave_mib MiB free. fusefat tells no free space
        (statvfs gives zeros), so the end is found by writing until refused."""
        folder = os.path.join(self.fill_place(), "filler")
        os.makedirs(folder, exist_ok=True)
        chunk = random.Random(7).randbytes(MIB)
        made = []
        while True:
            path = os.path.join(folder, f"{len(made):04d}.bin")
            try:
                with open(path, "wb") as f:
                    f.write(chunk)
            except OSError:
                if os.path.exists(path):
                    os.remove(path)
                break
            made.append(path)
            if len(made) > IMAGE_MIB:
                raise Unavailable(f"{self.kind}: wrote {IMAGE_MIB} MiB without the drive "
                                  "becoming full")
        if len(made) < leave_mib:
            raise Unavailable(f"{self.kind}: only {len(made)} MiB fitted on the image")
        for path in made[-leave_mib:]:
            os.remove(path)
        os.sync()

    # ---------------------------------------------------------- pulling

    def unmount(self):
        """As a user pulling the drive after ejecting it: the driver writes its
        caches and ends; the mount folder stays behind, empty."""
        if not self.mounted:
            return
        if self.kind in FUSE_FILE_SYSTEMS:
            tool = which("fusermount3") or which("fusermount") or "umount"
            done = command([tool, "-u", self.mount_point] if "fusermount" in tool
                           else ["umount", self.mount_point], check=False)
        else:
            done = command(["umount", self.mount_point], check=False)
        if done.returncode != 0:
            raise Fail(f"could not unmount {self.mount_point}: "
                       f"{done.stderr.decode(errors='replace').strip()}")
        self.mounted = False
        if self.pid and not wait_gone(self.pid, 10):
            end_process(self.pid)
        self.pid = None

    def kill_driver(self):
        """The driver dies as with a pulled cable or a dropped network: the
        mount stays and answers ENOTCONN."""
        if not self.pid:
            raise Fail(f"no driver process known for {self.kind}")
        os.kill(self.pid, signal.SIGKILL)
        wait_gone(self.pid, 5)
        self.pid = None

    def teardown(self):
        problems = []
        if self.mounted or os.path.ismount(self.mount_point) or mounts_under(self.mount_point):
            try:
                self.unmount()
            except Exception:
                pass
            if mounts_under(self.mount_point):
                unmount_by_force(self.mount_point)
            self.mounted = False
        if self.pid:
            end_process(self.pid)
            self.pid = None
        if self.server and mounts_under(self.server):
            done = command(["umount", self.server], check=False)
            if done.returncode != 0:
                unmount_by_force(self.server)
        for loop in (self.loop, self.server_loop):
            if loop:
                done = command(["losetup", "-d", loop], check=False)
                if done.returncode != 0:
                    problems.append(f"losetup -d {loop}: "
                                    f"{done.stderr.decode(errors='replace').strip()}")
        self.loop = self.server_loop = None
        if problems:
            raise RuntimeError("; ".join(problems))


# ---------------------------------------------------------------- program

class Run:
    def __init__(self, label, returncode, text, seconds):
        self.label = label
        self.rc = returncode
        self.text = text
        self.lines = text.splitlines()
        self.seconds = seconds

    def containing(self, *pieces):
        return [line for line in self.lines if all(piece in line for piece in pieces)]

    def errors(self):
        return [line for line in self.lines if ERROR_LINE.match(line)]

    def copied(self):
        return [line for line in self.lines if COPIED_LINE.match(line)]

    def unchanged_paths(self):
        return [m.group(1).rstrip() for m in map(UNCHANGED_LINE.match, self.lines) if m]

    def excerpt(self, limit=12):
        """The lines that tell what happened: errors, unusual lines, the status."""
        keep = [line for line in self.lines
                if "Skipping:" not in line and "Mirroring:" not in line
                and "synchronize " not in line and "Total" not in line]
        if len(keep) > limit:
            keep = keep[:limit - 2] + [f"... {len(keep) - limit + 1} more lines ..."] + keep[-1:]
        return keep


class Program:
    """tarnwick-cli with a program folder, configuration and home of its own."""

    def __init__(self, lab, cli, label):
        self.lab = lab
        self.cli = cli
        self.label = label
        base = lab.folder("programs", label)
        runtime = os.path.join(base, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("XDG_", "QT_", "TARNWICK_"))}
        self.env.update({
            "TARNWICK_HOME": lab.folder("programs", label, "home"),
            "XDG_CONFIG_HOME": lab.folder("programs", label, "config"),
            "XDG_DATA_HOME": lab.folder("programs", label, "data"),
            "XDG_RUNTIME_DIR": runtime,
            "HOME": lab.folder("programs", label, "user"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "TZ": "UTC",
        })
        self.output_folder = base
        self.checked([cli, "init"])

    def checked(self, argv):
        try:
            done = subprocess.run(argv, capture_output=True, env=self.env,
                                  timeout=COMMAND_LIMIT_S, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            raise Fail(f"{' '.join(argv[1:])} did not end within {COMMAND_LIMIT_S} s")
        if done.returncode != 0:
            raise Fail(f"{' '.join(argv[1:])} exited {done.returncode}: "
                       f"{done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    def add_task(self, source, target):
        out = self.checked([self.cli, "task", "add", f"drives {self.label}",
                            "--source", source, "--target", target])
        task = out.strip().splitlines()[-1].strip() if out.strip() else ""
        if not task.isdigit():
            raise Fail(f"task add printed no task ID: {out!r}")
        return task

    def start(self, task, name):
        path = os.path.join(self.output_folder, f"{name}.out")
        out = open(path, "wb")
        process = subprocess.Popen([self.cli, "run", task], stdout=out, stderr=subprocess.STDOUT,
                                   env=self.env, stdin=subprocess.DEVNULL)
        self.lab.runs.append(process)
        out.close()
        return process, path, time.monotonic()

    def finish(self, started, name, limit=RUN_LIMIT_S):
        process, path, began = started
        limit = max(1, min(limit, self.lab.deadline - time.monotonic()))
        try:
            process.wait(limit)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            with open(path, "rb") as f:
                partial = Run(name, None, f.read().decode(errors="replace"), limit)
            raise Fail(f"{name}: tarnwick-cli run did not end within {limit:.0f} s", [partial])
        with open(path, "rb") as f:
            return Run(name, process.returncode, f.read().decode(errors="replace"),
                       time.monotonic() - began)

    def run(self, task, name, limit=RUN_LIMIT_S):
        return self.finish(self.start(task, name), name, limit)


# ------------------------------------------------------------------ files

def write_file(path, data, mtime_ns=None, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)
    if mtime_ns is not None:
        os.utime(path, ns=(mtime_ns, mtime_ns))


def read_or_none(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def compare(source, target):
    """'equal', 'absent', or what is wrong with the target file."""
    with open(source, "rb") as f:
        want = f.read()
    try:
        with open(target, "rb") as f:
            have = f.read()
    except FileNotFoundError:
        return "absent"
    except OSError as error:
        return f"unreadable ({errno_name(error)})"
    if have == want:
        return "equal"
    if len(have) < len(want):
        return f"short ({len(have)} of {len(want)} bytes)"
    return f"different content ({len(have)} bytes, source {len(want)})"


def source_files(source):
    for folder, _, names in os.walk(source):
        for name in names:
            path = os.path.join(folder, name)
            if stat.S_ISREG(os.lstat(path).st_mode):
                yield os.path.relpath(path, source)


def mismatches(source, target, allow_absent=False):
    problems = []
    for rel in sorted(source_files(source)):
        verdict = compare(os.path.join(source, rel), os.path.join(target, rel))
        if verdict == "equal" or (allow_absent and verdict == "absent"):
            continue
        problems.append(f"{rel}: {verdict}")
    return problems


def listing(folder):
    """Every entry below folder with the content of each file."""
    entries = {}
    for base, folders, names in os.walk(folder):
        for name in folders:
            entries[os.path.relpath(os.path.join(base, name), folder) + "/"] = None
        for name in names:
            path = os.path.join(base, name)
            entries[os.path.relpath(path, folder)] = read_or_none(path)
    return entries


def shortlist(items, limit=4):
    items = list(items)
    text = ", ".join(items[:limit])
    return text + (f" and {len(items) - limit} more" if len(items) > limit else "")


# ------------------------------------------------------------------ cases

class Context:
    """What one case on one file system gets: its drives, program and source."""

    def __init__(self, harness, case, fs):
        self.harness = harness
        self.lab = harness.lab
        self.case = case
        self.fs = fs
        self.label = f"c{case.number:02d}-{fs}"
        self.source = self.lab.folder("sources", self.label)
        self.own_drives = []

    def drive(self):
        """The drive the gentle cases of this file system share."""
        return self.harness.shared_drive(self.fs)

    def fresh_drive(self):
        drive = Drive(self.lab, self.fs)
        self.own_drives.append(drive)
        try:
            return drive.mount()
        except Unavailable as error:
            self.harness.unusable[self.fs] = str(error)
            raise Skip(str(error))

    def program(self, suffix=""):
        return Program(self.lab, self.harness.cli, self.label + suffix)

    def close(self):
        for drive in self.own_drives:
            try:
                drive.teardown()
            except Exception as error:
                self.lab.problems.append(f"{drive}: {error}")
            if drive in self.lab.live:
                self.lab.live.remove(drive)


def expect(problems, condition, message):
    if not condition:
        problems.append(message)


def case_full_target(ctx):
    drive = ctx.fresh_drive()
    target = drive.target("mirror")
    try:
        drive.fill(LEFT_FREE_MIB)
    except Unavailable as error:
        raise Skip(str(error))
    rng = random.Random(1)
    for index in range(10):
        write_file(os.path.join(ctx.source, f"piece{index:02d}.bin"), rng.randbytes(2 * MIB),
                   (BASE_TIME + index) * NS)
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    first = program.run(task, "first run")
    problems = []
    expect(problems, first.rc not in (0, None), "the first run exited 0 on a full target")
    expect(problems, first.containing(TEXT_FULL), f'no line says "{TEXT_FULL}"')
    bad = mismatches(ctx.source, target, allow_absent=True)
    expect(problems, not bad, f"after the first run: {shortlist(bad)}")
    second = program.run(task, "second run")
    wrongly_kept = []
    for path in second.unchanged_paths():
        rel = os.path.relpath(path, ctx.source)
        verdict = compare(path, os.path.join(target, rel))
        if verdict != "equal":
            wrongly_kept.append(f"{rel} ({verdict})")
    expect(problems, not wrongly_kept,
           f"the second run kept as unchanged: {shortlist(wrongly_kept)}")
    bad = mismatches(ctx.source, target, allow_absent=True)
    expect(problems, not bad, f"after the second run: {shortlist(bad)}")
    if problems:
        raise Fail("; ".join(problems), [first, second])
    whole = 10 - sum(1 for rel in source_files(ctx.source)
                     if compare(os.path.join(ctx.source, rel), os.path.join(target, rel)) == "absent")
    return f"{whole} of 10 files fitted whole, the rest absent; " \
           f"{len(first.containing(TEXT_FULL))} full-target lines"


def case_fat32_limit(ctx):
    drive = ctx.fresh_drive()
    target = drive.target("mirror")
    huge = os.path.join(ctx.source, "huge.bin")
    with open(huge, "wb") as f:
        f.truncate(5 * 1024 * MIB)
    write_file(os.path.join(ctx.source, "small.txt"), b"beside the huge file\n")
    program = ctx.program()
    run = program.run(program.add_task(ctx.source, target), "run")
    problems = []
    expect(problems, run.rc not in (0, None), "the run exited 0")
    expect(problems, run.containing(TEXT_FAT32_LIMIT), f'no line says "{TEXT_FAT32_LIMIT}"')
    left = [name for name in os.listdir(target) if name.lower() == "huge.bin"]
    for name in left:
        size = os.stat(os.path.join(target, name)).st_size
        problems.append(f"the target holds {name} of {size} bytes")
    others = [name for name in os.listdir(target) if name.lower() not in ("huge.bin", "small.txt")]
    expect(problems, not others, f"the target holds {shortlist(others)}")
    verdict = compare(os.path.join(ctx.source, "small.txt"), os.path.join(target, "small.txt"))
    expect(problems, verdict == "equal", f"small.txt beside it: {verdict}")
    if problems:
        raise Fail("; ".join(problems), [run])
    return "refused with the 4 GiB line, the small file copied"


def case_time_step(ctx):
    target = ctx.drive().target(ctx.label)
    path = os.path.join(ctx.source, "step.txt")
    old, new = b"first version\n", b"second, longer version\n"
    assert (len(old), len(new)) == (14, 23)
    write_file(path, old, BASE_TIME * NS + 100_000_000)
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    first = program.run(task, "first run")
    problems = []
    expect(problems, first.rc == 0, f"the first run exited {first.rc}")
    expect(problems, read_or_none(os.path.join(target, "step.txt")) == old,
           "the first run did not copy step.txt")
    write_file(path, new, BASE_TIME * NS + 700_000_000)
    second = program.run(task, "second run")
    have = read_or_none(os.path.join(target, "step.txt"))
    expect(problems, have == new,
           "after the change at 10:00:00.7 the target still holds "
           + (f"{len(have)} bytes {have!r}" if have is not None else "nothing"))
    expect(problems, second.rc == 0, f"the second run exited {second.rc}")
    if problems:
        raise Fail("; ".join(problems), [first, second])
    stamp = os.stat(os.path.join(target, "step.txt")).st_mtime_ns
    return f"new content copied (target time {(stamp - BASE_TIME * NS) / NS:+.3f} s)"


def case_names_by_case(ctx):
    drive = ctx.drive()
    target = drive.target(ctx.label)
    contents = {"Readme.md": b"the first readme\n", "README.md": b"THE SECOND README, LONGER\n"}
    for name, data in contents.items():
        write_file(os.path.join(ctx.source, name), data, BASE_TIME * NS)
    first_name = [n for n in os.listdir(ctx.source) if n.lower() == "readme.md"][0]
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    runs = [program.run(task, "first run"), program.run(task, "second run")]
    problems = []
    if drive.folds_case:
        for run in runs:
            clash = run.containing(*TEXT_CASE_CLASH)
            expect(problems, run.rc not in (0, None), f"the {run.label} exited 0")
            expect(problems, len(clash) == 1,
                   f"the {run.label} has {len(clash)} lines saying both "
                   f'"{TEXT_CASE_CLASH[0]}" and "{TEXT_CASE_CLASH[1]}"')
            stored = [n for n in os.listdir(target) if n.lower() == "readme.md"]
            if stored != [first_name]:
                problems.append(f"after the {run.label} the target holds {stored}, "
                                f"not {first_name} (first in the source's listing)")
            have = read_or_none(os.path.join(target, first_name))
            if have != contents[first_name]:
                owner = next((n for n, d in contents.items() if d == have), None)
                problems.append(f"after the {run.label} {first_name} in the target holds "
                                + (f"the content of {owner}" if owner else repr(have)))
        if problems:
            raise Fail("; ".join(problems), runs)
        return f"{first_name} (first listed) kept, the other refused in both runs"
    for run in runs:
        expect(problems, run.rc == 0, f"the {run.label} exited {run.rc}")
    bad = mismatches(ctx.source, target)
    expect(problems, not bad, shortlist(bad))
    if problems:
        raise Fail("; ".join(problems), runs)
    return "case-sensitive target: both names copied"


def case_modes(ctx):
    drive = ctx.drive()
    target = drive.target(ctx.label)
    modes = {"m644.txt": 0o644, "m664.txt": 0o664, "m666.txt": 0o666, "m775.sh": 0o775}
    for index, (name, mode) in enumerate(modes.items()):
        write_file(os.path.join(ctx.source, name), f"mode {mode:o}\n".encode(), None, mode)
    program = ctx.program()
    run = program.run(program.add_task(ctx.source, target), "run")
    problems = []
    expect(problems, run.rc == 0, f"the run exited {run.rc}")
    bad = mismatches(ctx.source, target)
    expect(problems, not bad, shortlist(bad))
    if drive.keeps_modes:
        for name, mode in modes.items():
            try:
                have = stat.S_IMODE(os.stat(os.path.join(target, name)).st_mode)
            except FileNotFoundError:
                continue
            expect(problems, have == mode, f"{name} has mode {have:o} in the target")
    if problems:
        raise Fail("; ".join(problems), [run])
    return "copied" + (" with their modes" if drive.keeps_modes else " (the drive keeps no modes)")


GUARD_VARIANTS = [
    # (what, target folder below the mount point or "" for its root, stray file)
    ("target at the drive's root, bare mount folder empty", "", False),
    ("target at the drive's root, a stray file in the bare mount folder", "", True),
    ("target a folder on the drive, bare mount folder empty", "Backup", False),
]


def case_pulled_drive(ctx):
    os.mkfifo(os.path.join(ctx.source, "pipe"))
    write_file(os.path.join(ctx.source, "keep.txt"), b"kept on the drive\n", BASE_TIME * NS)
    write_file(os.path.join(ctx.source, "sub", "deeper.txt"), b"one level down\n", BASE_TIME * NS)
    failures, shown = [], []
    for index, (what, below, stray) in enumerate(GUARD_VARIANTS):
        problems = []
        drive = ctx.fresh_drive()
        target = drive.target(below) if below else drive.mount_point
        program = ctx.program(f"-{index}")
        task = program.add_task(ctx.source, target)
        first = program.run(task, f"run on the drive ({what})")
        expect(problems, first.rc not in (0, None), "the run on the drive (with a FIFO) exited 0")
        expect(problems, read_or_none(os.path.join(target, "keep.txt")) is not None,
               "the run on the drive did not copy keep.txt")
        drive.unmount()
        if stray:
            write_file(os.path.join(drive.mount_point, "stray.txt"), b"left here by hand\n")
        before = listing(drive.mount_point)
        second = program.run(task, f"run with the drive pulled ({what})")
        expect(problems, second.rc not in (0, None), "the run without the drive exited 0")
        expect(problems, second.containing(TEXT_NOT_PRESENT), f'no line says "{TEXT_NOT_PRESENT}"')
        after = listing(drive.mount_point)
        if after != before:
            made = [name for name in after if name not in before]
            changed = [name for name in before if after.get(name, b"") != before[name]]
            problems.append(f"the bare mount folder on the system disk changed "
                            f"(new: {shortlist(made) or 'none'}; changed or gone: "
                            f"{shortlist(changed) or 'none'})")
        if problems:
            failures.append(f"{what}: " + ", ".join(problems))
            shown.append(second)
    if failures:
        raise Fail("; ".join(failures), shown[:2])
    return f"all {len(GUARD_VARIANTS)} variants refused, the bare folder left as it was"


def case_read_only(ctx):
    target = ctx.drive().target(ctx.label)
    path = os.path.join(ctx.source, "locked.txt")
    write_file(path, b"version one\n", BASE_TIME * NS, 0o444)
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    first = program.run(task, "first run")
    problems = []
    expect(problems, first.rc == 0, f"the first run exited {first.rc}")
    os.chmod(path, 0o644)
    write_file(path, b"version two, a longer one\n", (BASE_TIME + 3600) * NS)
    os.chmod(path, 0o444)
    second = program.run(task, "second run")
    expect(problems, second.rc == 0, f"the second run exited {second.rc}")
    verdict = compare(path, os.path.join(target, "locked.txt"))
    expect(problems, verdict == "equal", f"locked.txt after the change: {verdict}")
    if problems:
        raise Fail("; ".join(problems), [first, second])
    return "the read-only copy was replaced"


ODD_NAMES = ["a:b.txt", "what?.txt", "\u00e9.txt", "dot."]


def case_odd_names(ctx):
    drive = ctx.drive()
    target = drive.target(ctx.label)
    refused = {}
    for name in ODD_NAMES:
        why = drive.holds_name(name)
        if why:
            refused[name] = why
    for name in ODD_NAMES + ["plain.txt"]:
        write_file(os.path.join(ctx.source, name), f"content of {name}\n".encode(), BASE_TIME * NS)
    program = ctx.program()
    run = program.run(program.add_task(ctx.source, target), "run")
    problems = []
    errors = run.errors()
    for name in ODD_NAMES + ["plain.txt"]:
        mine = [line for line in errors if "/" + name in line]
        if name in refused:
            if len(mine) != 1 or TEXT_BAD_NAME not in mine[0]:
                problems.append(f"{name} (refused by the drive: {refused[name]}): "
                                + (f"its error line reads {mine[0].split('] ', 1)[-1]!r}"
                                   if len(mine) == 1 else f"{len(mine)} error lines"))
        else:
            verdict = compare(os.path.join(ctx.source, name), os.path.join(target, name))
            expect(problems, verdict == "equal", f"{name} (the drive holds it): {verdict}")
            expect(problems, not mine, f"{name}: error line {mine[:1]}")
    expect(problems, (run.rc not in (0, None)) == bool(refused),
           f"the run exited {run.rc} with {len(refused)} names the drive refuses")
    if problems:
        raise Fail("; ".join(problems), [run])
    if refused:
        return f"refused as expected: {', '.join(f'{n} ({e})' for n, e in refused.items())}; " \
               "the rest copied"
    return "the drive holds every name; all copied"


def case_driver_killed(ctx):
    if ctx.fs not in FUSE_FILE_SYSTEMS:
        raise Skip("a kernel file system: no driver process to kill")
    drive = ctx.fresh_drive()
    target = drive.target("mirror")
    rng = random.Random(9)
    folders = [f"d{index:02d}" for index in range(20)]
    for index in range(2000):
        write_file(os.path.join(ctx.source, folders[index % 20], f"f{index:04d}.txt"),
                   rng.randbytes(rng.randint(256, 2048)), (BASE_TIME + index) * NS)
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    started = program.start(task, "run")
    process = started[0]
    seen = 0
    deadline = time.monotonic() + 30
    while process.poll() is None and time.monotonic() < deadline:
        seen = 0
        try:
            for folder in os.scandir(target):
                if folder.is_dir():
                    seen += sum(1 for entry in os.scandir(folder.path)
                                if not entry.name.startswith("."))
        except OSError:
            pass
        if seen >= 40:
            break
        time.sleep(0.02)
    if process.poll() is not None:
        run = program.finish(started, "run")
        raise Fail(f"the run ended ({run.rc}) before 40 files were on the drive "
                   f"({seen} seen): the drive could not be pulled mid-run", [run])
    if seen < 40:
        process.kill()
        process.wait()
        raise Fail("no 40 files reached the drive within 30 s")
    drive.kill_driver()
    run = program.finish(started, "run")
    problems = []
    expect(problems, run.rc not in (0, None), "the run exited 0")
    gone = run.containing(TEXT_WENT_AWAY)
    expect(problems, len(gone) == 1, f'{len(gone)} lines say "{TEXT_WENT_AWAY}"')
    errors = run.errors()
    expect(problems, len(errors) < 20, f"{len(errors)} error lines")
    expect(problems, run.containing("Summary:"), "no summary")
    if problems:
        raise Fail(f"driver killed after {seen} files: " + "; ".join(problems), [run])
    return f"driver killed after {seen} files: one went-away line, {len(errors)} error lines, " \
           f"the run took {run.seconds * 1000:.0f} ms"


def case_no_change(ctx):
    drive = ctx.drive()
    target = drive.target(ctx.label)
    rng = random.Random(10)
    folders = [""]
    for index in range(14):
        parent = rng.choice(folders)
        folders.append(os.path.join(parent, f"folder{index:02d}") if parent.count("/") < 3
                       else f"top{index:02d}")
    low, high = 978307200, 1893456000  # 2001 .. 2030
    for index in range(300):
        seconds = rng.randrange(low, high)
        fraction = rng.choice([0, rng.randrange(1, NS)])
        write_file(os.path.join(ctx.source, rng.choice(folders), f"file{index:03d}.dat"),
                   rng.randbytes(rng.randint(0, 2048)), seconds * NS + fraction)
    for folder in sorted(folders, key=lambda f: -f.count("/")):
        stamp = rng.randrange(low, high) * NS
        os.utime(os.path.join(ctx.source, folder), ns=(stamp, stamp))
    program = ctx.program()
    task = program.add_task(ctx.source, target)
    first = program.run(task, "first run")
    problems = []
    expect(problems, first.rc == 0, f"the first run exited {first.rc}")
    bad = mismatches(ctx.source, target)
    expect(problems, not bad, f"after the first run: {shortlist(bad)}")
    # The copies carry the source's times within the drive's step (FAT: 2 s),
    # or a later change to an older time would look older than the copy.
    off = []
    for rel in source_files(ctx.source):
        try:
            have = os.stat(os.path.join(target, rel)).st_mtime_ns
        except FileNotFoundError:
            continue
        want = os.stat(os.path.join(ctx.source, rel)).st_mtime_ns
        if abs(have - want) >= 2 * NS:
            off.append(f"{rel} {(have - want) / NS:+.0f} s")
    expect(problems, not off, f"{len(off)} copies do not carry the source's time: {shortlist(off, 2)}")
    second = program.run(task, "second run")
    copied = second.copied()
    expect(problems, not copied, f"the second run copied {len(copied)} files again, "
                                 f"e.g. {copied[0].split('] ', 1)[-1] if copied else ''}")
    expect(problems, second.containing(TEXT_SUCCESS), f'the second run has no "{TEXT_SUCCESS}"')
    if problems:
        raise Fail("; ".join(problems), [first, second])
    return f"second run copied nothing ({second.seconds:.1f} s)"


class Case:
    def __init__(self, number, name, function, file_systems=None, why_not=""):
        self.number = number
        self.name = name
        self.function = function
        self.file_systems = file_systems or FILE_SYSTEMS
        self.why_not = why_not


CASES = [
    Case(1, "full-target", case_full_target),
    Case(2, "fat32-4gib-limit", case_fat32_limit, ["fat32"], "a FAT32 limit"),
    Case(3, "change-within-time-step", case_time_step),
    Case(4, "names-differing-by-case", case_names_by_case),
    Case(5, "file-modes", case_modes),
    Case(6, "pulled-drive-guard", case_pulled_drive),
    Case(7, "read-only-copy-updated", case_read_only),
    Case(8, "names-the-drive-refuses", case_odd_names),
    Case(9, "driver-killed-mid-run", case_driver_killed),
    Case(10, "no-change-rerun", case_no_change),
]


# ---------------------------------------------------------------- harness

class Harness:
    def __init__(self, args, lab):
        self.args = args
        self.lab = lab
        self.cli = args.cli
        self.shared = {}  # fs -> Drive or Unavailable reason
        self.unusable = {}
        self.results = []

    def shared_drive(self, fs):
        if fs not in self.shared:
            drive = Drive(self.lab, fs)
            try:
                self.shared[fs] = drive.mount()
            except Unavailable as error:
                self.shared[fs] = str(error)
        drive = self.shared[fs]
        if isinstance(drive, str):
            raise Skip(drive)
        return drive

    def report(self, status, case, fs, reason, runs=()):
        self.results.append(status)
        print(f"{status:<4}  {case.number:>2} {case.name:<24} {fs:<6} {reason}", flush=True)
        for run in runs:
            print(f"        {run.label} (exit {run.rc}):", flush=True)
            for line in run.excerpt():
                print(f"          {line}", flush=True)

    def run_case(self, case, fs, started):
        if fs not in case.file_systems:
            self.report("SKIP", case, fs, f"not this file system: {case.why_not}")
            return
        if fs in self.unusable:
            self.report("SKIP", case, fs, self.unusable[fs])
            return
        if time.monotonic() - started > self.args.budget:
            self.report("FAIL", case, fs, f"not run: the {self.args.budget} s budget was used up")
            return
        ctx = Context(self, case, fs)
        try:
            reason = case.function(ctx)
            self.report("PASS", case, fs, reason)
        except Skip as skip:
            self.report("SKIP", case, fs, str(skip))
        except Fail as failure:
            self.report("FAIL", case, fs, str(failure), failure.runs)
        except Unavailable as error:
            self.report("FAIL", case, fs, f"set-up: {error}")
        except OSError as error:
            self.report("FAIL", case, fs, f"{type(error).__name__}: {error}")
        except Exception as error:  # a fault of this script: the other cases still run
            self.report("FAIL", case, fs, f"harness error {type(error).__name__}: {error}")
            traceback.print_exc()
        finally:
            ctx.close()

    def run(self, file_systems, numbers):
        started = time.monotonic()
        for fs in file_systems:
            missing = [p for p in PROGRAMS[fs] if not which(p)]
            if missing:
                self.unusable[fs] = f"not installed: {', '.join(missing)}"
            for case in CASES:
                if case.number in numbers:
                    self.run_case(case, fs, started)
            drive = self.shared.pop(fs, None)
            if isinstance(drive, Drive):
                try:
                    drive.teardown()
                except Exception as error:
                    self.lab.problems.append(f"{drive}: {error}")
                self.lab.live.remove(drive)
        return time.monotonic() - started


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="the tarnwick-cli to drive")
    parser.add_argument("--fs", default=",".join(FILE_SYSTEMS),
                        help="file systems to use (default: all)")
    parser.add_argument("--case", default="",
                        help="case numbers to run, like 1,4 (default: all)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the temporary folder (after unmounting)")
    parser.add_argument("--pretend-not-root", action="store_true",
                        help="take the path a user without root takes (for testing the skip)")
    parser.add_argument("--budget", type=float, default=DEFAULT_BUDGET_S,
                        help="seconds after which no further case starts")
    args = parser.parse_args()
    args.fs = [fs for fs in args.fs.split(",") if fs]
    unknown = [fs for fs in args.fs if fs not in FILE_SYSTEMS]
    if unknown:
        parser.error(f"unknown file system {unknown[0]}; known: {', '.join(FILE_SYSTEMS)}")
    args.numbers = {int(n) for n in args.case.split(",") if n} or {c.number for c in CASES}
    return args


def why_not_here(args):
    if args.pretend_not_root or os.geteuid() != 0:
        return "needs root to make loop devices and mount file systems"
    if not os.path.exists("/dev/fuse"):
        return "/dev/fuse is missing"
    missing = [p for p in ALWAYS_NEEDED if not which(p)]
    if missing:
        return f"not installed: {', '.join(missing)}"
    return None


def main():
    args = parse_args()
    for folder in ("/usr/sbin", "/sbin"):
        if folder not in os.environ.get("PATH", "").split(":"):
            os.environ["PATH"] = os.environ.get("PATH", "") + ":" + folder
    reason = why_not_here(args)
    if reason:
        print(f"SKIP: {reason}", flush=True)
        return SKIP_CODE
    if not os.access(args.cli, os.X_OK):
        print(f"FAIL: {args.cli} is no program", flush=True)
        return 1
    # FAT keeps local times: the drivers and the program agree on UTC.
    os.environ["TZ"] = "UTC"
    time.tzset()
    become_subreaper()

    lab = Lab(args)
    atexit.register(lab.close)

    def interrupted(signum, _frame):
        raise SystemExit(128 + signum)

    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(sig, interrupted)

    harness = Harness(args, lab)
    try:
        seconds = harness.run(args.fs, args.numbers)
    finally:
        lab.close()
    for problem in lab.problems:
        print(f"TEARDOWN: {problem}", flush=True)
    counts = {status: harness.results.count(status) for status in ("PASS", "FAIL", "SKIP")}
    print(f"{counts['PASS']} passed, {counts['FAIL']} failed, {counts['SKIP']} skipped "
          f"in {seconds:.0f} s", flush=True)
    if counts["FAIL"] or lab.problems:
        return 1
    if counts["PASS"] == 0:
        return SKIP_CODE
    return 0


if __name__ == "__main__":
    sys.exit(main())
