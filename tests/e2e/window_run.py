#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Works the real window the way a person would.

A private X server (Xvfb), a private session bus and its accessibility bus
carry one `tarnwick` process. Five scenarios share that set-up:

run     The test finds the task's row through AT-SPI, selects it, gives the
        window the keyboard focus and presses Enter, then waits until the
        copies are in the target, the run's closing line is in the log pane
        and in the log file, and the row shows the new last run time.
groups  From the keyboard alone (Alt+F, arrow keys, Return, typing) a task
        group is added through the group dialog, checked in the tree and
        in the database, then removed through the File menu and the
        confirmation box, and checked gone from both.
editor  A task is made through the task editor: a name typed, two source
        folders added, a target, an extension rule made in the rule dialog
        and an every-30-minutes entry made in the schedule dialog, pages
        turned with Ctrl+Tab and OK given with Return; then its stored rows
        (through `tarnwick-cli export`) and its row in the task list are
        checked.
options Deutsch is chosen from the Language menu (Alt+L) and the menu bar
        is read in German; the options dialog (Alt+O) gets a new log file
        name on its log page and OK with Return; then the task's run is
        found in that new log file.
notify  With a window manager (openbox) and a stand-in for the desktop's
        notification service on the session bus, but no tray, a task runs
        on each change in its source and fails, as its target cannot be
        made. With the window in front no notification is sent; once the
        window is minimised, a run that fails sends one Notify call naming
        the task, with the program's name, icon, desktop entry and a
        "default" action, and the next failure replaces it. A click on it
        (ActionInvoked from the service) must bring the window back,
        active, with the task's row selected.
pictures The task runs as in "run", Deutsch is chosen when --language
        says so, and the main window, the task editor (Ctrl+E) and the
        options dialog are each taken as a picture of that window alone,
        into --pictures DIR as main, task and options (.de for Deutsch).

Everything it starts is ended by process id, with time limits, also when a
step fails; the exit code is 0 on success and 1 with the failing step named.
A missing X server or accessibility piece is a failure, not a skip: the
project's set-up script installs them.

  window_run.py --tarnwick PATH --cli PATH
                [--scenario run|groups|editor|options|notify|pictures]
                [--desktop-id ID] [--screenshot FILE] [--keep]
                [--pictures DIR] [--language English|Deutsch]
"""

import argparse
import contextlib
import datetime
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TASK_ID = "4242"
TASK_NAME = "e2e mirror"
# A stored last run far in the past, so the run's new time cannot be
# mistaken for the time the task was saved.
OLD_LAST_RUN = "2001-02-03 04:05:06"
DATABASE_KEY = "27190436"
# Typed with xdotool: plain ASCII keeps it clear of keymap changes. Its
# blanks must survive into the tree and the database as they are.
GROUP_NAME = "E2E Keys Group"
ROOT_CAPTION = "All Tasks"
REMOVE_QUESTION = "Do you really want to delete the selected task group"
NEW_TASK_NAME = "Editor made"
EDITOR_TITLE = "The Sync Task Properties"
RULE_EXTENSION = "tmp"
NEW_LOG_FILE = "e2e-options.log"
SOURCE_FILES = {
    "alpha.txt": b"first file\n",
    "beta.bin": bytes(range(256)) * 64,
    "nested/gamma.txt": "third file, one level down: \u00e9\n".encode("utf-8"),
}

# The whole scenario stays well below the CTest limit, so this test reports
# its own failing step instead of being killed without a word.
OVERALL_LIMIT_S = 100
START_LIMIT_S = 20
RUN_LIMIT_S = 30
COMMAND_LIMIT_S = 15
# A menu, a dialog or a tree node shows up or goes away within this.
UI_LIMIT_S = 10
DATE_TIME = re.compile(r"^\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?$")


class StepFailed(Exception):
    pass


class Scenario:
    """Owns the processes and folders of one run; tears them down in reverse."""

    def __init__(self, args):
        self.args = args
        self.step = "setup"
        self.root = tempfile.mkdtemp(prefix="tarnwick-e2e-")
        self.home = os.path.join(self.root, "program")
        self.source = os.path.join(self.root, "source")
        self.target = os.path.join(self.root, "target")
        self.second_source = os.path.join(self.root, "second source")
        self.runtime = os.path.join(self.root, "runtime")
        self.config = os.path.join(self.root, "config")
        self.userhome = os.path.join(self.root, "home")
        self.xvfb = None
        self.window_manager = None
        self.dbus = None
        self.notifier = None
        self.notifier_log = os.path.join(self.root, "notifications.jsonl")
        self.program = None
        self.program_log = os.path.join(self.root, "tarnwick.out")
        self.display = None
        self.bus_address = None
        self.Atspi = None

    # ---------------------------------------------------------- helpers

    def fail(self, message):
        raise StepFailed(f"step '{self.step}': {message}")

    def run(self, argv, env=None, stdin=None):
        try:
            done = subprocess.run(argv, env=env, input=stdin, capture_output=True,
                                  timeout=COMMAND_LIMIT_S)
        except FileNotFoundError:
            self.fail(f"{argv[0]} is not installed (scripts/install-deps.sh installs it)")
        except subprocess.TimeoutExpired:
            self.fail(f"{' '.join(argv)} did not end within {COMMAND_LIMIT_S} s")
        if done.returncode != 0:
            self.fail(f"{' '.join(argv)} exited {done.returncode}: "
                      f"{done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    def wait_for(self, what, probe, limit):
        """Calls probe until it returns something true; the last value or
        exception text goes into the failure message."""
        deadline = time.monotonic() + limit
        last = None
        while True:
            self.check_program_alive()
            try:
                value = probe()
                if value:
                    return value
                last = value
            except StepFailed:
                raise
            except Exception as error:  # a probe that is not ready yet
                last = f"{type(error).__name__}: {error}"
            if time.monotonic() >= deadline:
                self.fail(f"{what}: not reached within {limit} s (last seen: {last!r})")
            time.sleep(0.2)

    def check_program_alive(self):
        if self.program is not None and self.program.poll() is not None:
            self.fail(f"tarnwick ended early with code {self.program.returncode}; "
                      f"its output: {self.read_program_output()}")

    def read_program_output(self):
        try:
            with open(self.program_log, encoding="utf-8", errors="replace") as f:
                return f.read()[-2000:].strip() or "(none)"
        except OSError:
            return "(none)"

    def base_env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "DBUS_", "AT_SPI", "WAYLAND"))}
        env.update({
            "HOME": self.userhome,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": self.config,
            "TARNWICK_HOME": self.home,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })
        return env

    # ------------------------------------------------------------ steps

    def make_folders(self):
        self.step = "make the program, source and target folders"
        for folder in (self.home, self.source, self.second_source, self.target, self.config,
                       self.userhome):
            os.makedirs(folder)
        os.makedirs(self.runtime, mode=0o700)
        for name, data in SOURCE_FILES.items():
            path = os.path.join(self.source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        self.run([self.args.cli, "init"], env=self.base_env())
        # The shipped languages, as the build lays them out.
        shipped = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "Language")
        shutil.copytree(shipped, os.path.join(self.home, "Language"), dirs_exist_ok=True)
        os.makedirs(os.path.join(self.home, "Log"), exist_ok=True)
        if not os.path.isfile(os.path.join(self.home, "Tarnwick.dat")):
            self.fail("tarnwick-cli init made no Tarnwick.dat")

    def store_task(self, mode=0, target=None):
        self.step = "store one task"
        target = self.target if target is None else target

        def text(value):
            return "'" + value.replace("'", "''") + "'"

        # tarnwick-cli has no command that adds a task, so the rows go in
        # as the task editor writes them for a task run by hand (mode 0) or
        # on a change in its source (1): the task, its one source with
        # subfolders, and the kind-19 row that keeps its last run time.
        script = "\n".join([
            f"PRAGMA key='{DATABASE_KEY}';",
            "BEGIN;",
            "insert into Task([TaskID],[TaskGroupID],[TaskName],[SourceDir],[TargetDir],"
            f"[ScheduleType]) values({text(TASK_ID)},'AllTask',{text(TASK_NAME)},"
            f"{text(self.source)},{text(target)}, {int(mode)});",
            "insert into SourceDir([TaskID],[SourceDir],[IncludeSubDir]) "
            f"values({text(TASK_ID)},{text(self.source)},'1');",
            "insert into TaskSchedule([TaskID], [ScheduleType], [LastRunTime]) "
            f"values({text(TASK_ID)}, 19, {text(OLD_LAST_RUN)});",
            "COMMIT;",
            "",
        ])
        self.run(["sqlcipher", "-bail", os.path.join(self.home, "Tarnwick.dat")],
                 stdin=script.encode("utf-8"))
        listing = self.run([self.args.cli, "list"], env=self.base_env())
        if TASK_NAME not in listing:
            self.fail(f"tarnwick-cli list does not show the stored task:\n{listing}")

    def start_xvfb(self):
        self.step = "start Xvfb"
        read_end, write_end = os.pipe()
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-noreset", "-screen", "0",
                 "1280x1024x24", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                start_new_session=True)
        except FileNotFoundError:
            self.fail("Xvfb is not installed (scripts/install-deps.sh installs it)")
        finally:
            os.close(write_end)
        number = self.read_line(read_end, "Xvfb's display number", self.xvfb)
        os.close(read_end)
        if not number.isdigit():
            self.fail(f"Xvfb wrote {number!r} instead of a display number")
        self.display = ":" + number

    def start_window_manager(self):
        self.step = "start the window manager (openbox)"
        env = self.base_env()
        env["DISPLAY"] = self.display
        try:
            self.window_manager = subprocess.Popen(
                ["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
        except FileNotFoundError:
            self.fail("openbox is not installed (scripts/install-deps.sh installs it)")

        def managing():
            # A window manager that has taken the display says so on the
            # root window.
            if self.window_manager.poll() is not None:
                self.fail(f"openbox ended with code {self.window_manager.returncode}")
            found = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.x_env())
            return "window id" in found

        self.wait_for("openbox managing the display", managing, START_LIMIT_S)

    def start_notification_service(self):
        self.step = "start the stand-in notification service"
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                              "notification_service.py")
        self.notifier = subprocess.Popen(
            [sys.executable, script, self.bus_address, self.notifier_log],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
        ready = self.read_line(self.notifier.stdout.fileno(), "the stand-in's ready line",
                               self.notifier)
        if ready != "ready":
            self.fail(f"the stand-in notification service wrote {ready!r}: "
                      f"{self.notifier.stderr.read().decode(errors='replace')}")

    def start_buses(self):
        self.step = "start the session bus and the accessibility bus"
        read_end, write_end = os.pipe()
        env = self.base_env()
        env["DISPLAY"] = self.display
        try:
            # Its own process group: the bus launcher and the accessibility
            # bus it starts are its children and end with it.
            self.dbus = subprocess.Popen(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                 f"--print-address={write_end}"],
                pass_fds=(write_end,), env=env, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
        except FileNotFoundError:
            self.fail("dbus-daemon is not installed (scripts/install-deps.sh installs it)")
        finally:
            os.close(write_end)
        self.bus_address = self.read_line(read_end, "the bus address", self.dbus)
        os.close(read_end)
        # Qt joins an accessibility bus that runs; asking for its address
        # starts it.
        try:
            import gi
            gi.require_version("Gio", "2.0")
            from gi.repository import Gio, GLib
        except (ImportError, ValueError) as error:
            self.fail(f"python3-gi is needed: {error}")
        try:
            bus = Gio.DBusConnection.new_for_address_sync(
                self.bus_address,
                Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            reply = bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                  "GetAddress", None, GLib.VariantType.new("(s)"),
                                  Gio.DBusCallFlags.NONE, COMMAND_LIMIT_S * 1000, None)
            bus.close_sync(None)
        except GLib.Error as error:
            self.fail(f"org.a11y.Bus.GetAddress failed (is at-spi2-core installed?): "
                      f"{error.message}")
        if not reply.unpack()[0].startswith("unix:"):
            self.fail(f"org.a11y.Bus.GetAddress answered {reply.unpack()[0]!r}")

    def read_line(self, fd, what, process):
        deadline = time.monotonic() + START_LIMIT_S
        data = b""
        while b"\n" not in data:
            left = deadline - time.monotonic()
            if left <= 0:
                self.fail(f"no {what} within {START_LIMIT_S} s")
            ready, _, _ = select.select([fd], [], [], min(left, 0.5))
            if ready:
                chunk = os.read(fd, 4096)
                if not chunk:
                    self.fail(f"{what}: the pipe closed (exit code {process.poll()})")
                data += chunk
            elif process.poll() is not None:
                self.fail(f"{what}: the process ended with code {process.returncode}")
        return data.split(b"\n", 1)[0].decode().strip()

    def start_program(self):
        self.step = "start tarnwick"
        env = self.base_env()
        env.update({
            "DISPLAY": self.display,
            "DBUS_SESSION_BUS_ADDRESS": self.bus_address,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        })
        with open(self.program_log, "wb") as out:
            self.program = subprocess.Popen([self.args.tarnwick], env=env, stdout=out,
                                            stderr=subprocess.STDOUT, cwd=self.root)

    def connect_atspi(self):
        self.step = "connect to the accessibility bus"
        # libatspi takes the bus from the environment the first time it is
        # used, and keeps it for the life of this process.
        os.environ["DISPLAY"] = self.display
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        try:
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi
        except (ImportError, ValueError) as error:
            self.fail(f"python3-gi with gir1.2-atspi-2.0 is needed: {error}")
        Atspi.init()
        # Unanswered calls come back as defaults; keep them short and visible.
        Atspi.set_timeout(3000, 10000)
        self.Atspi = Atspi

    # --------------------------------------------------- AT-SPI access

    def fresh(self, obj):
        # libatspi caches names, states and children; every probe here
        # must see what the program shows now.
        obj.clear_cache()
        return obj

    def application(self):
        desktop = self.fresh(self.Atspi.get_desktop(0))
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.program.pid:
                return self.fresh(app)
        return None

    def find(self, root, name, roles=None, depth=12):
        """First descendant with this accessible name (and one of the roles);
        `name` may be a tuple of the names in each language the run shows."""
        names = name if isinstance(name, tuple) else (name,)
        stack = [(root, 0)]
        while stack:
            obj, level = stack.pop()
            if obj is None:
                continue
            self.fresh(obj)
            # Captions may carry blanks around them ("  Task Name").
            if (obj.get_name() or "").strip() in names and (
                    roles is None or obj.get_role_name() in roles):
                return obj
            if level < depth:
                count = obj.get_child_count()
                for i in reversed(range(count)):
                    stack.append((obj.get_child_at_index(i), level + 1))
        return None

    def main_frame(self):
        app = self.application()
        if app is None:
            return None
        for i in range(app.get_child_count()):
            child = self.fresh(app.get_child_at_index(i))
            if child.get_role_name() == "frame" and child.get_name() == "Tarnwick":
                return child
        return None

    def task_table(self):
        tasks = self.find(self.frame, ("Tasks", "Aufgaben"))
        if tasks is None or "Table" not in tasks.get_interfaces():
            return None
        return tasks

    def header_columns(self, tasks):
        columns = {}
        for column in range(self.Atspi.Table.get_n_columns(tasks)):
            header = self.Atspi.Table.get_column_header(tasks, column)
            if header is not None:
                columns[self.fresh(header).get_name()] = column
        return columns

    def cell(self, tasks, row, column):
        obj = self.Atspi.Table.get_accessible_at(tasks, row, column)
        return self.fresh(obj) if obj is not None else None

    def task_row(self, tasks):
        for row in range(self.Atspi.Table.get_n_rows(tasks)):
            name_cell = self.cell(tasks, row, self.columns["Task Name"])
            if name_cell is not None and name_cell.get_name() == TASK_NAME:
                return row
        return None

    def cell_text(self, row, caption):
        tasks = self.task_table()
        cell = self.cell(tasks, row, self.columns[caption])
        return cell.get_name() if cell is not None else None

    def log_pane_text(self):
        log = self.find(self.frame, ("Log", "Protokoll"), roles=("text",))
        if log is None:
            return None
        self.fresh(log)
        return self.Atspi.Text.get_text(log, 0, self.Atspi.Text.get_character_count(log))

    # ------------------------------------------------------------ steps

    def find_frame(self):
        self.step = "find the window on the accessibility bus"
        self.frame = self.wait_for("the frame 'Tarnwick' of the tarnwick process",
                                   self.main_frame, START_LIMIT_S)

    def find_window(self):
        self.find_frame()
        tasks = self.wait_for("the task list 'Tasks'", self.task_table, START_LIMIT_S)

        def captions():
            found = self.header_columns(tasks)
            return found if all(c in found for c in ("Task Name", "Last Run Time")) else None

        def row_of_task():
            # Row 0 is a row: wrapped, so it counts as found.
            row = self.task_row(self.task_table())
            return (row,) if row is not None else None

        self.columns = self.wait_for("the captions of the task list", captions, START_LIMIT_S)
        (self.row,) = self.wait_for(f"the row of task '{TASK_NAME}'", row_of_task,
                                    START_LIMIT_S)
        shown = self.cell_text(self.row, "Last Run Time")
        if shown != OLD_LAST_RUN:
            self.fail(f"before the run, 'Last Run Time' shows {shown!r}, "
                      f"expected the stored {OLD_LAST_RUN!r}")

    def select_row(self):
        self.step = "select the task's row"

        def selected():
            tasks = self.task_table()
            cell = self.cell(tasks, self.row, self.columns["Task Name"])
            return cell.get_state_set().contains(self.Atspi.StateType.SELECTED)

        self.Atspi.Table.add_row_selection(self.task_table(), self.row)
        self.wait_for("the row's cells marked selected", selected, 10)

    def window_id(self):
        out = subprocess.run(
            ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.program.pid),
             "--name", "^Tarnwick$"],
            env=self.x_env(), capture_output=True, timeout=COMMAND_LIMIT_S)
        ids = out.stdout.decode().split()
        # The splash has no title of its own; of what is left, the largest
        # window is the main one.
        best, area = None, -1
        for wid in ids:
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", wid],
                                      env=self.x_env(), capture_output=True,
                                      timeout=COMMAND_LIMIT_S).stdout.decode()
            size = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            this = int(size.get("WIDTH", 0)) * int(size.get("HEIGHT", 0))
            if this > area:
                best, area = wid, this
        return best

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        return env

    def has_state(self, obj, state):
        return self.fresh(obj).get_state_set().contains(state)

    def focus_main_window(self):
        """Gives the main window the keyboard; nothing else does once a
        dialog has closed, as no window manager runs."""
        if shutil.which("xdotool") is None:
            self.fail("xdotool is not installed (scripts/install-deps.sh installs it)")
        wid = self.wait_for("the window on the X display", self.window_id, START_LIMIT_S)

        def active():
            return self.has_state(self.frame, self.Atspi.StateType.ACTIVE)

        # Without a window manager windowactivate has nobody to ask;
        # windowfocus sets the X input focus itself.
        subprocess.run(["xdotool", "windowactivate", "--sync", wid], env=self.x_env(),
                       capture_output=True, timeout=COMMAND_LIMIT_S)
        if not active():
            self.run(["xdotool", "windowfocus", "--sync", wid], env=self.x_env())
        self.wait_for("the window active", active, UI_LIMIT_S)

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", *keys], env=self.x_env())

    def press_enter(self):
        self.step = "focus the window and press Enter"
        self.focus_main_window()
        # A manual task: nothing but the key below may fill the target.
        if os.listdir(self.target):
            self.fail(f"the target is not empty before Enter: {os.listdir(self.target)}")
        self.started_at = datetime.datetime.now().replace(microsecond=0)
        self.key("Return")

    def wait_for_run(self):
        self.step = "wait for the run's results"
        finished = re.compile(r"synchronize finished  \[" + re.escape(TASK_NAME) + r"\]")

        def copies():
            # A reason goes into the failure message through the exception.
            for name, data in SOURCE_FILES.items():
                path = os.path.join(self.target, name)
                if not os.path.isfile(path):
                    raise FileNotFoundError(f"{name} not in the target")
                with open(path, "rb") as f:
                    if f.read() != data:
                        raise ValueError(f"{name} differs from its source")
            return True

        self.wait_for("the target holds copies of all source files", copies, RUN_LIMIT_S)
        self.wait_for("the log pane 'Log' shows the finished line",
                      lambda: finished.search(self.log_pane_text() or ""), RUN_LIMIT_S)

        log_file = os.path.join(self.home, "Log", "Tarnwick.log")

        def file_line():
            with open(log_file, encoding="utf-8", errors="replace") as f:
                return finished.search(f.read())

        self.wait_for("Log/Tarnwick.log holds the finished line", file_line, RUN_LIMIT_S)

        def new_last_run():
            text = self.cell_text(self.row, "Last Run Time")
            if not text or text == OLD_LAST_RUN or not DATE_TIME.match(text):
                return None
            return text

        shown = self.wait_for("'Last Run Time' shows the run's date-time", new_last_run,
                              RUN_LIMIT_S)
        when = datetime.datetime.strptime(shown, "%Y-%m-%d %H:%M:%S" if " " in shown
                                          else "%Y-%m-%d")
        slack = datetime.timedelta(seconds=2)
        if not (self.started_at.date() <= when.date() and
                when <= datetime.datetime.now() + slack and
                (" " not in shown or when >= self.started_at - slack)):
            self.fail(f"'Last Run Time' shows {shown!r}, not a time of this run "
                      f"(Enter pressed at {self.started_at})")
        extra = sorted(os.path.relpath(os.path.join(d, f), self.target)
                       for d, _, files in os.walk(self.target) for f in files)
        if extra != sorted(SOURCE_FILES):
            self.fail(f"the target holds {extra}, expected exactly {sorted(SOURCE_FILES)}")

    # ------------------------------------------------- notify scenario

    def blocked_target(self):
        """A target that cannot be made: its parent is a file."""
        blocker = os.path.join(self.root, "blocker")
        with open(blocker, "w", encoding="utf-8") as f:
            f.write("a file where the target's parent folder should be\n")
        return os.path.join(blocker, "target")

    def row_selected(self):
        tasks = self.task_table()
        cell = self.cell(tasks, self.row, self.columns["Task Name"])
        return self.has_state(cell, self.Atspi.StateType.SELECTED)

    def window_viewable(self, wid):
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(self.program.pid), "--name", "^Tarnwick$"],
                             env=self.x_env(), capture_output=True, timeout=COMMAND_LIMIT_S)
        return wid in out.stdout.decode().split()

    def notify_calls(self):
        import json
        if not os.path.isfile(self.notifier_log):
            return []
        with open(self.notifier_log, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def change_source(self, name):
        with open(os.path.join(self.source, name), "w", encoding="utf-8") as f:
            f.write("a change that starts the task\n")

    def finished_runs(self):
        finished = re.compile(r"synchronize finished  \[" + re.escape(TASK_NAME) + r"\]")
        log_file = os.path.join(self.home, "Log", "Tarnwick.log")
        if not os.path.isfile(log_file):
            return 0
        with open(log_file, encoding="utf-8", errors="replace") as f:
            return len(finished.findall(f.read()))

    def fail_run_in_front(self):
        self.step = "change the source with the window in front: the run fails, unnotified"
        # The change monitor starts a moment after the window shows; a
        # change made before it watches starts nothing, so another follows.
        deadline = time.monotonic() + RUN_LIMIT_S
        attempt = 0
        while self.finished_runs() == 0:
            if time.monotonic() > deadline:
                self.fail(f"no change in the source started a run within {RUN_LIMIT_S} s")
            attempt += 1
            self.change_source(f"in front {attempt}.txt")
            self.poll_runs(3)
        time.sleep(1)
        if self.notify_calls():
            self.fail(f"a run that failed with the window in front was notified: "
                      f"{self.notify_calls()}")

    def poll_runs(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.finished_runs() == 0:
            self.check_program_alive()
            time.sleep(0.2)

    def minimise_window(self):
        self.step = "minimise the window through the window manager"
        self.wid = self.wait_for("the window on the X display", self.window_id, START_LIMIT_S)
        if self.row_selected():
            self.fail("the task's row is selected before the notification was clicked")
        self.run(["xdotool", "windowminimize", self.wid], env=self.x_env())
        self.wait_for("the window unmapped (iconified by openbox)",
                      lambda: not self.window_viewable(self.wid), UI_LIMIT_S)

    def fail_run_while_minimised(self):
        self.step = "change the source so that the task runs, and fails, while minimised"
        self.change_source("changed.txt")
        summary = f"Tarnwick: {TASK_NAME} failed"

        def notified():
            return [c for c in self.notify_calls() if c["summary"] == summary]

        calls = self.wait_for(f"a Notify call with the summary {summary!r}", notified,
                              RUN_LIMIT_S)
        if self.window_viewable(self.wid):
            self.fail("the window came back by itself before the notification was clicked")
        self.notice = calls[0]
        # The next failure of the task takes the place of its notification.
        self.step = "change the source again: a second failure while minimised"
        self.change_source("changed again.txt")
        calls = self.wait_for("a second Notify call", lambda: notified()[1:], RUN_LIMIT_S)
        if calls[0]["replaces_id"] != self.notice["id"]:
            self.fail(f"the second notification does not replace the first "
                      f"(id {self.notice['id']}): {calls[0]}")

    def check_notice(self):
        self.step = "check what the Notify call carries"
        notice = self.notice
        expected = {
            "app_name": "Tarnwick",
            "app_icon": "tarnwick",
            "actions": ["default", "Show task"],
            "expire_timeout": -1,
        }
        for key, value in expected.items():
            if notice[key] != value:
                self.fail(f"Notify's {key} is {notice[key]!r}, expected {value!r}")
        hints = notice["hints"]
        if hints.get("desktop-entry") != ["s", self.args.desktop_id]:
            self.fail(f"the desktop-entry hint is {hints.get('desktop-entry')!r}, expected "
                      f"the string {self.args.desktop_id!r}")
        if hints.get("urgency") != ["y", 1]:
            self.fail(f"the urgency hint is {hints.get('urgency')!r}, expected the byte 1")
        if notice["replaces_id"] != 0:
            self.fail(f"the first notification replaces id {notice['replaces_id']}")
        if "Not a directory" not in notice["body"]:
            self.fail(f"the notification's text {notice['body']!r} does not give the error")

    def click_notice(self):
        self.step = "click the notification (ActionInvoked from the service)"
        from gi.repository import Gio, GLib
        bus = Gio.DBusConnection.new_for_address_sync(
            self.bus_address,
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
            | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        try:
            bus.call_sync("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                          "org.example.tarnwick.TestNotifications", "Click",
                          GLib.Variant("(us)", (self.notice["id"], "default")), None,
                          Gio.DBusCallFlags.NONE, COMMAND_LIMIT_S * 1000, None)
        finally:
            bus.close_sync(None)

    def check_window_back(self):
        self.step = "check the window is back, active, with the task selected"
        self.wait_for("the window mapped again", lambda: self.window_viewable(self.wid),
                      UI_LIMIT_S)
        self.wait_for("the window active",
                      lambda: self.has_state(self.frame, self.Atspi.StateType.ACTIVE),
                      UI_LIMIT_S)
        self.wait_for(f"the row of '{TASK_NAME}' selected", self.row_selected, UI_LIMIT_S)

    # ------------------------------------------------ options scenario

    def choose_german(self):
        self.step = "Alt+L, Deutsch from the Language menu"
        self.choose_from_menu("alt+l", "Language", "Deutsch")
        self.wait_for("the menu bar in German: 'Datei'",
                      lambda: self.find(self.frame, "Datei", roles=("menu item",), depth=4),
                      UI_LIMIT_S)

    def change_log_file_in_options(self):
        self.step = "Alt+O, Optionen..., Ctrl+Tab to Protokoll, a new log file name, Return"
        self.choose_from_menu("alt+o", "Optionen", "Optionen...")
        options = self.wait_for("the dialog 'Optionen'", lambda: self.dialog_titled("Optionen"),
                                UI_LIMIT_S)
        self.key("ctrl+Tab")
        self.page_shown(options, "Protokoll", "Name der Protokolldatei:")
        self.type_into(options, "Name der Protokolldatei:", NEW_LOG_FILE)
        self.key("Return")
        self.wait_for("the options dialog closed",
                      lambda: self.dialog_titled("Optionen") is None, UI_LIMIT_S)

    def run_into_new_log_file(self):
        # The only task is the first row, whatever its column is called now.
        self.row = 0
        self.columns = {"Task Name": 0}
        self.select_row()
        self.press_enter()
        self.step = "wait for the run's lines in the new log file"
        finished = re.compile(r"synchronize finished  \[" + re.escape(TASK_NAME) + r"\]")
        log_file = os.path.join(self.home, "Log", NEW_LOG_FILE)

        def file_line():
            if not os.path.isfile(log_file):
                return None
            with open(log_file, encoding="utf-8", errors="replace") as f:
                return finished.search(f.read())

        self.wait_for(f"Log/{NEW_LOG_FILE} holds the finished line", file_line, RUN_LIMIT_S)

    # ------------------------------------------------ groups scenario

    def file_menu_items(self, caption="File"):
        """The menu's items, or None while its pop-up is not shown."""
        file_item = self.find(self.frame, caption, roles=("menu item",), depth=4)
        if file_item is None or file_item.get_child_count() < 1:
            return None
        popup = self.fresh(file_item.get_child_at_index(0))
        if not self.has_state(popup, self.Atspi.StateType.SHOWING):
            return None
        return [self.fresh(popup.get_child_at_index(i)) for i in range(popup.get_child_count())]

    def focused_menu_item(self, caption="File"):
        for item in self.file_menu_items(caption) or ():
            if item.get_role_name() == "menu item" and self.has_state(
                    item, self.Atspi.StateType.FOCUSED):
                return item.get_name()
        return None

    def choose_from_file_menu(self, wanted):
        self.choose_from_menu("alt+f", "File", wanted)

    def choose_from_menu(self, shortcut, caption, wanted):
        """The menu's shortcut, Down until `wanted` is the highlighted item,
        Return.

        Return is only pressed once AT-SPI shows `wanted` highlighted: on
        any other item it would run that item's command (Exit, say)."""
        self.focus_main_window()
        self.key(shortcut)
        current = self.wait_for(f"the {caption} menu open with an item highlighted",
                                lambda: self.focused_menu_item(caption), UI_LIMIT_S)
        items = self.file_menu_items(caption) or []
        names = [item.get_name() for item in items if item.get_role_name() == "menu item"]
        if wanted not in names:
            self.fail(f"the {caption} menu has no item {wanted!r}: {names}")
        # Each enabled item is reached at most once before the highlight wraps.
        for _ in range(len(names)):
            if current == wanted:
                break
            before = current

            def moved_on():
                now = self.focused_menu_item(caption)
                return now if now and now != before else None

            self.key("Down")
            current = self.wait_for(f"the highlight moving on from {before!r}", moved_on,
                                    UI_LIMIT_S)
        if current != wanted:
            enabled = [item.get_name() for item in items if self.has_state(
                item, self.Atspi.StateType.SENSITIVE)]
            self.fail(f"Down never highlights {wanted!r} (enabled items: {enabled})")
        self.key("Return")

    def top_level(self, role, name):
        app = self.application()
        if app is None:
            return None
        for i in range(app.get_child_count()):
            child = app.get_child_at_index(i)
            if child is not None:
                self.fresh(child)
                # Titles may end in a blank ("The Sync Task Properties ").
                if child.get_role_name() == role and child.get_name().strip() == name:
                    return child
        return None

    def field_text(self, field):
        self.fresh(field)
        return self.Atspi.Text.get_text(field, 0, self.Atspi.Text.get_character_count(field))

    def tree_cells(self):
        """The visible rows of the group tree: name -> cell."""
        tree = self.find(self.frame, ("Task groups", "Aufgabengruppen"), roles=("tree",))
        if tree is None:
            return None
        cells = {}
        for i in range(tree.get_child_count()):
            cell = self.fresh(tree.get_child_at_index(i))
            if cell.get_role_name() == "table cell":
                cells[cell.get_name()] = cell
        return cells

    def group_lines(self):
        """The groups `tarnwick-cli list` shows, one "Group NAME [ID]" line each."""
        listing = self.run([self.args.cli, "list"], env=self.base_env())
        return [line for line in listing.splitlines() if line.startswith("Group ")]

    def add_group(self):
        self.step = "open the group dialog with Alt+F, Add Task Group, Return"
        before = self.group_lines()
        if before:
            self.fail(f"tarnwick-cli list shows groups before any was added: {before}")
        self.choose_from_file_menu("Add Task Group")
        dialog = self.wait_for("the dialog 'Task Group Property'",
                               lambda: self.top_level("dialog", "Task Group Property"),
                               UI_LIMIT_S)

        self.step = "type the group's name and press Return"
        field = self.find(dialog, "Group Name", roles=("text",))
        if field is None:
            self.fail("the dialog has no text field named 'Group Name'")

        def new_group_selected():
            # Typing replaces the whole proposal only when all of it is selected.
            text = self.field_text(field)
            if self.Atspi.Text.get_n_selections(field) != 1:
                return None
            chosen = self.Atspi.Text.get_selection(field, 0)
            return text == "New Group" and (chosen.start_offset, chosen.end_offset) == (0, 9)

        self.wait_for("'New Group' selected in the name field", new_group_selected, UI_LIMIT_S)
        self.wait_for("the dialog active with the name field focused",
                      lambda: self.has_state(dialog, self.Atspi.StateType.ACTIVE) and
                      self.has_state(field, self.Atspi.StateType.FOCUSED), UI_LIMIT_S)
        self.run(["xdotool", "type", "--delay", "20", GROUP_NAME], env=self.x_env())
        self.wait_for(f"the name field showing {GROUP_NAME!r}",
                      lambda: self.field_text(field) == GROUP_NAME, UI_LIMIT_S)
        self.key("Return")
        self.wait_for("the dialog closed",
                      lambda: self.top_level("dialog", "Task Group Property") is None,
                      UI_LIMIT_S)

    def check_group_added(self):
        self.step = "check the new group in the tree and the database"
        def with_node():
            cells = self.tree_cells()
            return cells if cells and GROUP_NAME in cells else None

        cells = self.wait_for(f"a node {GROUP_NAME!r} in the tree 'Task groups'", with_node,
                              UI_LIMIT_S)
        if ROOT_CAPTION not in cells:
            self.fail(f"the tree has no node {ROOT_CAPTION!r}: {sorted(cells)}")
        root = cells[ROOT_CAPTION].get_extents(self.Atspi.CoordType.SCREEN)
        node = cells[GROUP_NAME].get_extents(self.Atspi.CoordType.SCREEN)
        # A child sits below its parent and is indented further right.
        if not (node.y > root.y and node.x > root.x):
            self.fail(f"{GROUP_NAME!r} at ({node.x}, {node.y}) is not a child of "
                      f"{ROOT_CAPTION!r} at ({root.x}, {root.y})")
        if not self.has_state(cells[GROUP_NAME], self.Atspi.StateType.SELECTED):
            self.fail(f"the new node {GROUP_NAME!r} is not the selected one")
        lines = self.group_lines()
        if len(lines) != 1 or not re.fullmatch(r"Group " + re.escape(GROUP_NAME) +
                                               r" \[\S+\]", lines[0]):
            self.fail(f"tarnwick-cli list shows {lines}, expected one group {GROUP_NAME!r}")

    def remove_group(self):
        self.step = "remove the group with Alt+F, Remove Task Group, Return"
        self.choose_from_file_menu("Remove Task Group")

        def question():
            # A modal box of its own; its Cancel button is the default one.
            box = self.top_level("alert", "Tarnwick")
            if box is None or self.find(box, REMOVE_QUESTION, roles=("label",)) is None:
                return None
            return box

        box = self.wait_for(f"the alert asking {REMOVE_QUESTION!r}", question, UI_LIMIT_S)

        self.step = "confirm the removal with OK"
        ok = self.find(box, "OK", roles=("push button",))
        if ok is None:
            self.fail("the confirmation box has no 'OK' button")
        # Pressing through AT-SPI would wait until the slot returns; a click
        # of the pointer at the button's middle does not.
        where = ok.get_extents(self.Atspi.CoordType.SCREEN)
        if where.width <= 0 or where.height <= 0:
            self.fail(f"the 'OK' button has no place on the screen: {where.width}x{where.height}")
        self.run(["xdotool", "mousemove", str(where.x + where.width // 2),
                  str(where.y + where.height // 2), "click", "1"], env=self.x_env())
        self.wait_for("the confirmation box closed",
                      lambda: self.top_level("alert", "Tarnwick") is None, UI_LIMIT_S)

    def check_group_removed(self):
        self.step = "check the group is gone from the tree and the database"
        def without_node():
            cells = self.tree_cells()
            return cells is not None and ROOT_CAPTION in cells and GROUP_NAME not in cells

        self.wait_for(f"the node {GROUP_NAME!r} gone from the tree 'Task groups'",
                      without_node, UI_LIMIT_S)
        lines = self.group_lines()
        if lines:
            self.fail(f"tarnwick-cli list still shows {lines}")

    # ------------------------------------------------ editor scenario

    def dialog_titled(self, title):
        return self.top_level("dialog", title)

    def focus_dialog_window(self, dialog, title):
        """Gives the dialog's window the keyboard again: with no window
        manager, nothing does so when a dialog above it closes."""
        def window():
            out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                                  str(self.program.pid), "--name", title],
                                 env=self.x_env(), capture_output=True, timeout=COMMAND_LIMIT_S)
            ids = out.stdout.decode().split()
            return ids[-1] if ids else None

        wid = self.wait_for(f"the window {title!r} on the X display", window, UI_LIMIT_S)
        self.run(["xdotool", "windowfocus", "--sync", wid], env=self.x_env())
        self.wait_for(f"the dialog {title!r} active",
                      lambda: self.has_state(dialog, self.Atspi.StateType.ACTIVE), UI_LIMIT_S)

    def focus_control(self, dialog, name, roles):
        """Gives the control named `name` the keyboard, as a click would."""
        def showing():
            # Pages hide controls of the same name ("Add..." on two pages).
            found = []
            stack = [dialog]
            while stack:
                obj = self.fresh(stack.pop())
                if (obj.get_name() or "").strip() == name and obj.get_role_name() in roles and \
                        self.has_state(obj, self.Atspi.StateType.SHOWING):
                    found.append(obj)
                stack.extend(obj.get_child_at_index(i) for i in range(obj.get_child_count()))
            return found[0] if found else None

        control = self.wait_for(f"the control {name!r}", showing, UI_LIMIT_S)
        self.Atspi.Component.grab_focus(control)
        self.wait_for(f"{name!r} focused",
                      lambda: self.has_state(control, self.Atspi.StateType.FOCUSED), UI_LIMIT_S)
        return control

    def type_into(self, dialog, name, text):
        field = self.focus_control(dialog, name, ("text",))
        self.key("ctrl+a")
        self.run(["xdotool", "type", "--delay", "10", text], env=self.x_env())
        self.wait_for(f"the field {name!r} showing {text!r}",
                      lambda: self.field_text(field) == text, UI_LIMIT_S)
        return field

    def page_shown(self, dialog, page, control):
        """Waits until `control`, which lies on `page`, shows."""
        def shown():
            found = self.find(dialog, control)
            return found is not None and self.has_state(found, self.Atspi.StateType.SHOWING)
        self.wait_for(f"the page {page!r} shown", shown, UI_LIMIT_S)

    def make_task_in_editor(self):
        self.step = "open the task editor with Alt+F, New Task, Return"
        self.choose_from_file_menu("New Task")
        editor = self.wait_for(f"the dialog {EDITOR_TITLE!r}",
                               lambda: self.dialog_titled(EDITOR_TITLE), UI_LIMIT_S)

        self.step = "type the name and two source folders, each added with Alt+A"
        self.type_into(editor, "Task Name", NEW_TASK_NAME)
        for folder in (self.source, self.second_source):
            field = self.type_into(editor, "Source Folder", folder)
            self.key("alt+a")
            self.wait_for("the source field emptied by Add",
                          lambda: self.field_text(field) == "", UI_LIMIT_S)

        self.step = "Ctrl+Tab to the target page and type the target"
        self.key("ctrl+Tab")
        self.page_shown(editor, "Target", "Target Folder")
        self.type_into(editor, "Target Folder", self.target)

        self.step = "Ctrl+Tab to the filter page, Exclude..., Alt+A, a rule typed, Return"
        self.key("ctrl+Tab")
        self.page_shown(editor, "File Filter", "Exclude...")
        self.focus_control(editor, "Exclude...", ("radio button",))
        self.key("space")
        self.key("alt+a")
        rule = self.wait_for("the rule dialog 'Filter'", lambda: self.dialog_titled("Filter"),
                             UI_LIMIT_S)
        self.type_into(rule, "Name watching a wildcard:(For example: doc; txt)", RULE_EXTENSION)
        self.key("Return")
        self.wait_for("the rule dialog closed", lambda: self.dialog_titled("Filter") is None,
                      UI_LIMIT_S)

        self.step = "Ctrl+Tab to the schedule page, internal schedule, Add..., Return"
        self.focus_dialog_window(editor, EDITOR_TITLE)
        self.key("ctrl+Tab")
        self.page_shown(editor, "Schedule", "Run Manually")
        self.focus_control(editor, "Auto run using internal Schedule", ("radio button",))
        self.key("space")
        self.focus_control(editor, "Add...", ("push button",))
        self.key("space")
        self.wait_for("the schedule dialog 'Task Scheduler'",
                      lambda: self.dialog_titled("Task Scheduler"), UI_LIMIT_S)
        self.key("Return")
        self.wait_for("the schedule dialog closed",
                      lambda: self.dialog_titled("Task Scheduler") is None, UI_LIMIT_S)

        self.step = "OK with Return from the name field"
        self.focus_dialog_window(editor, EDITOR_TITLE)
        self.focus_control(editor, "Task Name", ("text",))
        self.key("Return")
        self.wait_for("the task editor closed",
                      lambda: self.dialog_titled(EDITOR_TITLE) is None, UI_LIMIT_S)

    def check_task_made(self):
        self.step = "check the stored task and its row in the list"
        import json
        document = json.loads(self.run([self.args.cli, "export"], env=self.base_env()))
        made = [task for task in document["tasks"] if task["name"] == NEW_TASK_NAME]
        if len(made) != 1:
            self.fail(f"tarnwick-cli export shows {len(made)} tasks named {NEW_TASK_NAME!r}")
        task = made[0]
        expected = {
            "sources": [{"path": self.source, "subfolders": True},
                        {"path": self.second_source, "subfolders": True}],
            "target": self.target,
            "start": "scheduled",
            "rules": [{"type": 0, "stype": 0, "sstype": 0, "value": RULE_EXTENSION + ",",
                       "endDate": ""}],
            "schedules": [{"kind": 0, "value": 30, "startTime": "0"}],
        }
        for key, value in expected.items():
            if task.get(key) != value:
                self.fail(f"the stored task's {key!r} is {task.get(key)!r}, expected {value!r}")

        def listed():
            tasks = self.task_table()
            if tasks is None:
                return None
            columns = self.header_columns(tasks)
            if "Task Name" not in columns:
                return None
            for row in range(self.Atspi.Table.get_n_rows(tasks)):
                cell = self.cell(tasks, row, columns["Task Name"])
                if cell is not None and cell.get_name() == NEW_TASK_NAME:
                    return cell
            return None

        cell = self.wait_for(f"a row {NEW_TASK_NAME!r} in the task list", listed, UI_LIMIT_S)
        if not self.has_state(cell, self.Atspi.StateType.SELECTED):
            self.fail(f"the new row {NEW_TASK_NAME!r} is not the selected one")

    def screenshot(self):
        if not self.args.screenshot:
            return
        self.step = "take the screenshot"
        # The splash stays on top for its two seconds; wait it out.
        time.sleep(2.5)
        # The window sits at the top left of a black screen: trimmed to it,
        # in few colours, the picture stays small.
        whole = os.path.join(self.root, "screen.png")
        self.run(["import", "-window", "root", whole], env=self.x_env())
        self.run(["convert", whole, "-trim", "+repage", "-colors", "64", "-strip",
                  self.args.screenshot])

    def window_picture(self, wid, path):
        """The window `wid` alone, as X holds it: no screen around it, so
        no band to trim; in few colours, the picture stays small."""
        whole = os.path.join(self.root, "window.png")
        self.run(["import", "-window", wid, whole], env=self.x_env())
        self.run(["convert", whole, "+repage", "-colors", "64", "-strip", path])

    def top_window_titled(self, title):
        out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(self.program.pid), "--name", "^" + re.escape(title)],
                             env=self.x_env(), capture_output=True, timeout=COMMAND_LIMIT_S)
        ids = out.stdout.decode().split()
        return ids[-1] if ids else None

    def dialog_picture(self, open_it, title, path):
        open_it()
        self.wait_for(f"the dialog {title!r}", lambda: self.dialog_titled(title), UI_LIMIT_S)
        wid = self.wait_for(f"the window {title!r} on the X display",
                            lambda: self.top_window_titled(title), UI_LIMIT_S)
        # Laid out and painted before it is taken.
        time.sleep(1)
        self.window_picture(wid, path)
        self.focus_dialog_window(self.dialog_titled(title), title)
        self.key("Escape")
        self.wait_for(f"the dialog {title!r} closed",
                      lambda: self.dialog_titled(title) is None, UI_LIMIT_S)

    def pictures(self):
        german = self.args.language == "Deutsch"
        if german:
            self.choose_german()
        suffix = ".de.png" if german else ".png"
        folder = self.args.pictures
        self.step = "take the main window"
        # The splash stays on top for its two seconds; wait it out.
        time.sleep(2.5)
        self.window_picture(self.wait_for("the window on the X display", self.window_id,
                                          UI_LIMIT_S),
                            os.path.join(folder, "main" + suffix))
        self.step = "take the task editor (Ctrl+E)"
        editor = "Eigenschaften der Spiegelaufgabe" if german else EDITOR_TITLE

        def edit():
            self.focus_main_window()
            self.key("ctrl+e")
        self.dialog_picture(edit, editor, os.path.join(folder, "task" + suffix))
        self.step = "take the options dialog"
        menu, item, title = (("Optionen", "Optionen...", "Optionen") if german
                             else ("Option", "Option...", "Options"))
        self.dialog_picture(lambda: self.choose_from_menu("alt+o", menu, item), title,
                            os.path.join(folder, "options" + suffix))

    # --------------------------------------------------------- teardown

    def stop(self, process, what, group=False):
        if process is None or process.poll() is not None:
            return
        try:
            if group:
                os.killpg(process.pid, signal.SIGTERM)
            else:
                process.terminate()
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            print(f"teardown: {what} ignored SIGTERM; killing it", file=sys.stderr)
            if group:
                os.killpg(process.pid, signal.SIGKILL)
            else:
                process.kill()
            process.wait(timeout=10)
        except ProcessLookupError:
            pass

    def teardown(self):
        self.stop(self.program, "tarnwick")
        self.stop(self.notifier, "the stand-in notification service")
        self.stop(self.window_manager, "openbox")
        if self.dbus is not None:
            self.stop(self.dbus, "dbus-daemon", group=True)
            with contextlib.suppress(ProcessLookupError):
                # What the bus started lives in its group even after it ends.
                os.killpg(self.dbus.pid, signal.SIGKILL)
        self.stop(self.xvfb, "Xvfb")
        if not self.args.keep:
            shutil.rmtree(self.root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tarnwick", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--scenario",
                        choices=("run", "groups", "editor", "options", "notify", "pictures"),
                        default="run")
    parser.add_argument("--desktop-id", default="org.example.tarnwick",
                        help="the .desktop file's name without .desktop")
    parser.add_argument("--screenshot", help="also write a picture of the window here")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folders")
    parser.add_argument("--pictures", help="the folder the pictures scenario writes into")
    parser.add_argument("--language", choices=("English", "Deutsch"), default="English",
                        help="the language the pictures scenario shows")
    args = parser.parse_args()
    if args.scenario == "pictures" and not args.pictures:
        parser.error("--scenario pictures needs --pictures DIR")
    if args.pictures:
        args.pictures = os.path.abspath(args.pictures)
    args.tarnwick = os.path.abspath(args.tarnwick)
    args.cli = os.path.abspath(args.cli)
    if args.screenshot:
        args.screenshot = os.path.abspath(args.screenshot)

    def overdue(signum, frame):
        raise StepFailed(f"step '{scenario.step}': the whole scenario took over "
                         f"{OVERALL_LIMIT_S} s")

    scenario = Scenario(args)
    signal.signal(signal.SIGALRM, overdue)
    signal.alarm(OVERALL_LIMIT_S)
    try:
        scenario.make_folders()
        if args.scenario == "notify":
            scenario.store_task(mode=1, target=scenario.blocked_target())
        else:
            scenario.store_task()
        scenario.start_xvfb()
        if args.scenario == "notify":
            scenario.start_window_manager()
        scenario.start_buses()
        if args.scenario == "notify":
            scenario.start_notification_service()
        scenario.start_program()
        scenario.connect_atspi()
        if args.scenario == "notify":
            scenario.find_window()
            scenario.fail_run_in_front()
            scenario.minimise_window()
            scenario.fail_run_while_minimised()
            scenario.check_notice()
            scenario.click_notice()
            scenario.check_window_back()
            print(f"ok: '{TASK_NAME}' failed while the window was minimised; the "
                  "notification service got one Notify call, and its click brought the "
                  "window back with the task selected")
        elif args.scenario == "pictures":
            scenario.find_window()
            scenario.select_row()
            scenario.press_enter()
            scenario.wait_for_run()
            scenario.pictures()
            print(f"ok: the main window, the task editor and the options dialog in "
                  f"{args.language} are in {args.pictures}")
        elif args.scenario == "run":
            scenario.find_window()
            scenario.select_row()
            scenario.press_enter()
            scenario.wait_for_run()
            scenario.screenshot()
            print(f"ok: '{TASK_NAME}' ran from the window; copies, log pane, log file "
                  "and last run time all show it")
        elif args.scenario == "options":
            scenario.find_frame()
            scenario.choose_german()
            scenario.change_log_file_in_options()
            scenario.run_into_new_log_file()
            print(f"ok: Deutsch chosen from the Language menu; the log file name changed in "
                  f"the options dialog; the run's lines went to Log/{NEW_LOG_FILE}")
        elif args.scenario == "editor":
            scenario.find_frame()
            scenario.make_task_in_editor()
            scenario.check_task_made()
            scenario.screenshot()
            print(f"ok: task '{NEW_TASK_NAME}' made in the task editor from the keyboard; "
                  "database and list show it")
        else:
            scenario.find_frame()
            scenario.add_group()
            scenario.check_group_added()
            scenario.screenshot()
            scenario.remove_group()
            scenario.check_group_removed()
            print(f"ok: group '{GROUP_NAME}' added and removed from the keyboard; "
                  "tree and database followed")
        return 0
    except StepFailed as failure:
        print(f"FAIL {failure}", file=sys.stderr)
        print(f"tarnwick's output: {scenario.read_program_output()}", file=sys.stderr)
        if args.keep:
            print(f"kept: {scenario.root}", file=sys.stderr)
        return 1
    except Exception as error:  # anything unforeseen still names its step
        print(f"FAIL step '{scenario.step}': {type(error).__name__}: {error}", file=sys.stderr)
        print(f"tarnwick's output: {scenario.read_program_output()}", file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        scenario.teardown()


if __name__ == "__main__":
    sys.exit(main())
