"""The real zorvane in the X display this process runs in (xvfb-run), with or without a window
manager, a home of its own and a pseudo-terminal as COM1, driven from outside as a person or a
screen reader drives it: xdotool for keys, clicks and the window's place, AT-SPI for controls."""

import os
import pty
import select
import shutil
import signal
import subprocess
import tempfile
import time
import tty

import pyatspi

PORT_COUNT = 100


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=10.0, interval=0.05):
    """Polls probe() until it returns something true; fails naming `what` after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def xdotool(*args, timeout=20):
    done = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          timeout=timeout)
    if done.returncode != 0:
        raise Failure("xdotool %s: %s" % (" ".join(map(str, args)), done.stderr.strip()))
    return done.stdout.strip()


def visible_windows(pid, title):
    """The shown X windows of the process whose title matches the pattern; none is no fault."""
    done = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid),
                           "--name", title], capture_output=True, text=True)
    return done.stdout.split()


def window_geometry(window):
    """An X window's client area: left, top, width, height on the screen."""
    out = xdotool("getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def move_mouse(x, y):
    out = xdotool("getmouselocation", "--shell")
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    # xdotool's --sync waits for the pointer to move, which never happens when it is already
    # there: it then gives up only after many seconds.
    if (int(values["X"]), int(values["Y"])) != (x, y):
        xdotool("mousemove", "--sync", x, y)


class Module:
    """Plays the radio module at the master end of a pseudo-terminal; the slave end stays open
    here too, so the line never hangs up between two runs of the program."""

    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)

    def close(self):
        os.close(self.master)
        os.close(self.slave)

    def read_for(self, seconds):
        """Everything the program writes within the given time."""
        data = b""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return data
            data += self._read_within(left)

    def read_until(self, expected, timeout=10.0):
        """What the program writes up to and including `expected`; fails if it never comes."""
        data = b""
        deadline = time.monotonic() + timeout
        while expected not in data:
            left = deadline - time.monotonic()
            if left <= 0:
                raise Failure("module expected %r, received %r" % (expected, data))
            data += self._read_within(left)
        return data

    def _read_within(self, seconds):
        """What has arrived, waiting at most the given time for anything to come."""
        ready, _, _ = select.select([self.master], [], [], seconds)
        if not ready:
            return b""
        try:
            return os.read(self.master, 4096)
        except BlockingIOError:
            return b""

    def drain(self, quiet=0.3):
        """Reads until the line has been silent for `quiet` seconds."""
        data = b""
        while True:
            more = self.read_for(quiet)
            if not more:
                return data
            data += more


class WindowManager:
    """openbox on the display; started once it has finished its own start-up."""

    def __init__(self, folder):
        ready = os.path.join(folder, "openbox-ready")
        self.proc = subprocess.Popen(
            ["openbox", "--sm-disable", "--startup", "touch " + ready],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("openbox to start", lambda: os.path.exists(ready))

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


class Home:
    """A home folder of the program's own, with COM1 linked to the module and every other
    port number leading nowhere, so the machine's own devices never take part."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="zorvane-e2e-")
        self.docs = os.path.join(self.path, "Documents", "Zorvane")
        self.ports = os.path.join(self.docs, "ports")
        os.makedirs(self.ports)
        for n in range(1, PORT_COUNT + 1):
            os.symlink("/nonexistent/COM%d" % n, os.path.join(self.ports, "COM%d" % n))

    def link_port(self, n, device):
        link = os.path.join(self.ports, "COM%d" % n)
        os.remove(link)
        os.symlink(device, link)

    @property
    def settings(self):
        return os.path.join(self.docs, "zv_settings.xml")

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class Zorvane:
    """One run of the program: its process, its X window and its AT-SPI application."""

    def __init__(self, binary, home, arguments=()):
        env = dict(os.environ)
        for name in ("XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        # The bridge to the accessibility bus, even without a screen reader running.
        env.update(HOME=home.path, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.log_path = os.path.join(home.path, "zorvane-%d.log" % time.monotonic_ns())
        self.log = open(self.log_path, "w")
        self.proc = subprocess.Popen([binary, *arguments], env=env, cwd=home.path, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.window = wait_for("the main window", self._find_window, timeout=30)
        self.app = wait_for("the program on the accessibility bus", self._find_app, timeout=30)

    def _find_window(self):
        check(self.proc.poll() is None, "zorvane ended at start:\n" + self.output())
        ids = visible_windows(self.proc.pid, "^Zorvane")
        return ids[0] if ids else None

    def _find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except Exception:
                continue
        return None

    def output(self):
        if not self.log.closed:
            self.log.flush()
        with open(self.log_path) as f:
            return f.read()

    # --- controls through the accessibility bus
    # `within` narrows the search to one window or panel: the whole tree, with every line of
    # the lists, takes half a second to walk.
    def find(self, name, role=None, timeout=10.0, within=None):
        def probe():
            return pyatspi.findDescendant(
                within or self.app, lambda a: a is not None and a.name == name
                and (role is None or a.getRoleName() == role))
        return wait_for("control %r%s" % (name, "" if role is None else " (" + role + ")"),
                        probe, timeout)

    def find_role(self, role, predicate=lambda a: True, timeout=10.0, within=None):
        def probe():
            return pyatspi.findDescendant(
                within or self.app,
                lambda a: a is not None and a.getRoleName() == role and predicate(a))
        return wait_for("a control of role " + role, probe, timeout)

    @staticmethod
    def label_of(accessible):
        """What the label related to the control as labelled-by says; None without one."""
        for relation in accessible.getRelationSet():
            if (relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                    and relation.getNTargets() > 0):
                return relation.getTarget(0).name
        return None

    def find_labelled(self, label, role, timeout=10.0, within=None):
        """A control by its label, as a screen reader says what a combo box is for: the box's
        own name is the entry it shows."""
        return self.find_role(role, lambda a: self.label_of(a) == label, timeout, within)

    @staticmethod
    def do_action(accessible, *names):
        """Runs the first of the named actions the control offers."""
        action = accessible.queryAction()
        offered = [action.getName(i) for i in range(action.nActions)]
        for name in names:
            if name in offered:
                check(action.doAction(offered.index(name)), "action %s refused" % name)
                return name
        raise Failure("%r offers %s, none of %s" % (accessible.name, offered, names))

    @staticmethod
    def has_state(accessible, state):
        return accessible.getState().contains(state)

    @staticmethod
    def extents(accessible):
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def click(self, accessible):
        x, y, w, h = self.extents(accessible)
        move_mouse(x + w // 2, y + h // 2)
        xdotool("click", "1")

    @staticmethod
    def text(accessible):
        """What a text field shows."""
        return accessible.queryText().getText(0, -1)

    # --- keys and the window's place, from outside
    def type(self, text):
        xdotool("type", "--delay", "30", text)

    def key(self, *keys):
        xdotool("key", "--delay", "60", *keys)

    def geometry(self):
        """The window's client area: left, top, width, height on the screen."""
        return window_geometry(self.window)

    def wait_closed(self, timeout=20.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("zorvane did not end after Exit")

    def kill(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait(10)
        self.log.close()
