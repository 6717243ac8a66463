#!/usr/bin/python3
"""End-to-end checks of the real program against the module simulator, in a virtual X display
under a window manager: the start-up banner, Inquiry filling the address list, and a command
round trip in the multiplexing mode.

Usage: sim_e2e.py PATH_TO_ZORVANE PATH_TO_ZORVANE_SIM"""

import os
import re
import subprocess
import sys

import pyatspi

from harness import Failure, Home, WindowManager, Zorvane, check, wait_for

ADDRESS = re.compile(r"^([0-9A-F]{2}:){5}[0-9A-F]{2}$")


def shows(z, predicate, role=None):
    """True when some control, or some line of the terminal list, satisfies the predicate."""
    return pyatspi.findDescendant(
        z.app, lambda a: a is not None and a.name is not None and predicate(a.name)
        and (role is None or a.getRoleName() == role)) is not None


def scenario(binary, sim_binary, home):
    env = dict(os.environ, HOME=home.path)
    # The simulator replaces the dangling COM1 link the home starts with.
    sim = subprocess.Popen([sim_binary, "--port", "1"], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True)
    try:
        first = sim.stdout.readline()
        check(" is /dev/" in first, "simulator did not start: %r" % first)
        z = Zorvane(binary, home)
        try:
            wait_for("the banner after the reset on connect",
                     lambda: shows(z, lambda n: "READY." in n), timeout=15)
            Zorvane.do_action(z.find("I", "push button"), "Press", "Click")
            wait_for("inquiry addresses in the address list",
                     lambda: shows(z, lambda n: ADDRESS.match(n.strip()) is not None,
                                   "combo box"), timeout=15)
            mux = z.find("MUX", "check box")
            Zorvane.do_action(mux, "Toggle", "Press")
            wait_for("MUX checked", lambda: Zorvane.has_state(mux, pyatspi.STATE_CHECKED))
            Zorvane.do_action(z.find("L", "push button"), "Press", "Click")
            wait_for("the framed LIST answer", lambda: shows(z, lambda n: "LIST 0" in n),
                     timeout=15)
        except Failure:
            lines = []
            pyatspi.findAllDescendants(
                z.app, lambda a: a is not None and a.getRoleName() in ("list item", "table cell")
                and bool(lines.append(a.name)))
            sys.stderr.write("--- list lines\n%s\n" % "\n".join(map(repr, lines[-20:])))
            sys.stderr.write("--- zorvane output\n%s" % z.output())
            raise
        finally:
            z.kill()
    finally:
        sim.terminate()
        out, _ = sim.communicate(timeout=10)
    check(sim.returncode == 0, "simulator ended with %s: %s" % (sim.returncode, out))
    check(not os.path.lexists(os.path.join(home.ports, "COM1")), "simulator left its link")


def main():
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__ + "\n")
        return 2
    if not os.environ.get("DISPLAY"):
        sys.stderr.write("no DISPLAY: run under xvfb-run\n")
        return 2
    home = Home()
    wm = WindowManager(home.path)
    failed = True
    try:
        scenario(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), home)
        failed = False
    except Failure as e:
        sys.stderr.write("FAIL simulator: %s\n" % e)
    finally:
        wm.stop()
        if failed:
            sys.stderr.write("--- files kept in %s\n" % home.path)
        else:
            home.remove()
    if not failed:
        print("PASS simulator")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
